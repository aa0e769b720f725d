#include "attach/OutcomeTexts.h"

#include "access/FailureText.h"

namespace korvid::attach {

QString attachedBeforeText(const QString& database) {
    return QStringLiteral("已附加：") + database;
}

QString attachedText(const QString& database) {
    return QStringLiteral("附加成功：") + database;
}

QString goneText() {
    return QStringLiteral("已跳过：文件已不存在");
}

QString failedText(const FailureText& failure) {
    return QStringLiteral("附加失败：") + failure.detail();
}

}  // namespace korvid::attach
