#pragma once

#include <QIcon>
#include <QImage>
#include <QList>
#include <QProxyStyle>

// A toolbar icon's picture as the image reader decoded it from resources/NAME.png when the
// program was built (resources/IconPixels.cpp).
struct BuiltIcon
{
    const char *name;
    const uchar *pixels;
    int width, height, bytesPerLine;
    QImage::Format format;
};
const QList<BuiltIcon> &builtIcons();

// The icon of that name ("connect", "application-exit"), drawn from those pixels: reading its
// PNG as the window starts would have the image reader read every image-format plugin's
// description and unpack the picture, which costs the start-up more than the rest of the icon.
QIcon builtIcon(const char *name);

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
