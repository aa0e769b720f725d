#include "ui/FrameLook.h"

#include <QApplication>
#include <QGroupBox>
#include <QStyle>
#include <QStyleFactory>

namespace korvid {

namespace {

// One style for every frame, living as long as the application.
QStyle* borderCaptionStyle() {
    const QString name = QStringLiteral("korvidFrameStyle");
    if (auto* style = qApp->findChild<QStyle*>(name, Qt::FindDirectChildrenOnly)) return style;
    QStyle* style = QStyleFactory::create(QStringLiteral("Windows"));
    if (!style) return nullptr;
    style->setObjectName(name);
    style->setParent(qApp);
    return style;
}

}  // namespace

void setCaptionOnBorder(QGroupBox* frame) {
    if (QStyle* style = borderCaptionStyle()) frame->setStyle(style);
}

}  // namespace korvid
