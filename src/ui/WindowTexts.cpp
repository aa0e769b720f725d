#include "ui/WindowTexts.h"

namespace korvid {

const char16_t* const kLoginFailedTitle = u"错误提示:";

QString loginProbeQuery() {
    return QStringLiteral("SELECT * FROM sysdatabases WHERE (name >= N'u')");
}

QString databaseListQuery() {
    return QStringLiteral("select name  from sysdatabases ORDER BY name");
}

QString loginFailedText() {
    return QStringLiteral("数据库连接失败，请检查登陆信息！");
}

}  // namespace korvid
