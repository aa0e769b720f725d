#include "ui/FrameLook.h"

#include <QApplication>
#include <QGroupBox>
#include <QPointer>
#include <QStyle>
#include <QStyleFactory>

namespace korvid {

namespace {

// One style for every frame, living as long as the application.
QStyle* borderCaptionStyle() {
    static QPointer<QStyle> style;
    if (style) return style;
    style = QStyleFactory::create(QStringLiteral("Windows"));
    if (style) style->setParent(qApp);
    return style;
}

}  // namespace

void setCaptionOnBorder(QGroupBox* frame) {
    if (QStyle* style = borderCaptionStyle()) frame->setStyle(style);
}

}  // namespace korvid
