#pragma once

#include <QIcon>
#include <QProxyStyle>

// An icon of the program's own resources, decoded by the built-in PNG reader: asked to guess a
// format, the image reader loads every image-format plugin first, which costs the start-up
// more than all the toolbar's icons.
QIcon resourceIcon(const QString &path);

// The platform's style, but its standard icons (the menu bar's and toolbar's overflow arrows,
// which most windows never show) are only loaded when first drawn, not when the widgets that
// may show them are made.
class DeferredIconStyle : public QProxyStyle
{
    Q_OBJECT

public:
    using QProxyStyle::QProxyStyle;
    QIcon standardIcon(
        StandardPixmap which, const QStyleOption *option = nullptr, const QWidget *widget = nullptr) const override;
};
