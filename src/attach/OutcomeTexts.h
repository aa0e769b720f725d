#pragma once
// What a row of the result list says of its file in its tooltip: attached to this server before
// the run, attached by the run, skipped because the file has gone, or failed with the server's
// reason and number.

#include <QString>

namespace korvid {
struct FailureText;
}

namespace korvid::attach {

QString attachedBeforeText(const QString& database);  // "已附加：shop"
QString attachedText(const QString& database);        // "附加成功：shop"
QString goneText();                                   // "已跳过：文件已不存在"
QString failedText(const FailureText& failure);  // "附加失败：" + the reason, its number under it

}  // namespace korvid::attach
