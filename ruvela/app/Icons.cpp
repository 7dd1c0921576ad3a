#include "app/Icons.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPointer>
#include <QStyleOption>

#include <optional>

QIcon builtIcon(const char *name)
{
    for (const BuiltIcon &icon : builtIcons()) {
        if (qstrcmp(icon.name, name) == 0)
            return QIcon(
                QPixmap::fromImage(QImage(icon.pixels, icon.width, icon.height, icon.bytesPerLine, icon.format)));
    }
    return {};
}

namespace {

// Stands in for a standard icon and asks the style for it when it is first needed.
class DeferredIconEngine : public QIconEngine
{
public:
    DeferredIconEngine(
        const QStyle *base, QStyle::StandardPixmap which, const QStyleOption *option, const QWidget *widget)
        : base(const_cast<QStyle *>(base))
        , which(which)
        , widget(const_cast<QWidget *>(widget))
    {
        if (option)
            this->option = *option; // the direction decides which way an arrow points
    }

    QIconEngine *clone() const override { return new DeferredIconEngine(*this); }
    QString key() const override { return QStringLiteral("DeferredIconEngine"); }
    // Known without loading: a standard icon is there to be drawn.
    bool isNull() override { return false; }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        return icon().pixmap(size, scale, mode, state);
    }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }

private:
    const QIcon &icon()
    {
        if (!loaded) // the application's style, should the one asked have gone since
            loaded = (base ? base.data() : QApplication::style())
                         ->standardIcon(which, option ? &*option : nullptr, widget);
        return *loaded;
    }

    QPointer<QStyle> base;
    QStyle::StandardPixmap which;
    std::optional<QStyleOption> option;
    QPointer<QWidget> widget;
    std::optional<QIcon> loaded;
};

} // namespace

QIcon DeferredIconStyle::standardIcon(StandardPixmap which, const QStyleOption *option, const QWidget *widget) const
{
    return QIcon(new DeferredIconEngine(baseStyle(), which, option, widget));
}
