#include "access/Prompts.h"

#include "access/FailureText.h"
#include "access/ModalMoments.h"

namespace korvid {

QString defaultTitle() {
    return QStringLiteral("Korvid");
}

void Prompts::message(const QString& text, MsgIcon icon, const QString& title,
                      const QString& detail) {
    const ModalMoments::Scope moment;
    show({text, icon, title.isEmpty() ? defaultTitle() : title, detail});
}

void Prompts::popup(QMenu& menu, const QPoint& at) {
    const ModalMoments::Scope moment;
    showPopup(menu, at);
}

void Prompts::failure(const std::exception& error) {
    const FailureText failure = failureText(error);
    message(failure.reason, MsgIcon::Critical, QString(), failure.code);
}

}  // namespace korvid
