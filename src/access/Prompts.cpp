#include "access/Prompts.h"

#include <optional>

#include "access/FailureText.h"
#include "access/ModalMoments.h"

namespace korvid {

QString defaultTitle() {
    return QStringLiteral("Korvid");
}

void Prompts::message(const QString& text, MsgIcon icon, const QString& title,
                      const QString& detail) {
    std::optional<ModalMoments::Scope> moment;
    if (moments_) moment.emplace(*moments_);
    show({text, icon, title.isEmpty() ? defaultTitle() : title, detail});
}

void Prompts::popup(QMenu& menu, const QPoint& at) {
    std::optional<ModalMoments::Scope> moment;
    if (moments_) moment.emplace(*moments_);
    showPopup(menu, at);
}

void Prompts::failure(const std::exception& error) {
    const FailureText failure = failureText(error);
    message(failure.reason, MsgIcon::Critical, QString(), failure.detail());
}

}  // namespace korvid
