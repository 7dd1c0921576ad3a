#pragma once

#include "tool/SendLine.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// A named byte sequence, kept as the engineer wrote it in the send line's way.
struct Macro
{
    QString name;
    QString text;
    SendMode mode = SendMode::Hex;
    friend bool operator==(const Macro &a, const Macro &b)
    {
        return a.name == b.name && a.text == b.text && a.mode == b.mode;
    }
};

// The macros of the Macros dock, their file form, and the repeat of one of them: runs() fires
// once at start and then every interval until the times asked for are done or stop() is called.
// A run that falls due while the previous one has not gone out is skipped, so that a held line never
// gathers runs without bound.
class MacroBook : public QObject
{
    Q_OBJECT
public:
    static constexpr int minEveryMs = 1, maxEveryMs = 3600000, maxTimes = 1000000;

    explicit MacroBook(QObject *parent = nullptr);

    const QList<Macro> &macros() const { return list; }
    // Adds a macro, or replaces the one of the same name. Empty, or why the macro is refused.
    QString add(const Macro &macro);
    // Puts macro in the place of the one at index, under its new name if that is free. Empty, or
    // why not.
    QString update(qsizetype index, const Macro &macro);
    void remove(qsizetype index);

    // The repeat asked for: every so many milliseconds, so many times (0 until stopped).
    int everyMs() const { return every; }
    int times() const { return count; }
    void setRepeat(int everyMs, int times);

    // The file form: {"every": ms, "times": n, "macros": [{"name": ..., "mode": "hex" | "text",
    // "text": ...}, ...]}; a file without "every" or "times" leaves those as they are.
    QByteArray toJson() const;
    // Takes the macros of a file's content, or leaves the book as it was and says what is wrong.
    QString fromJson(const QByteArray &json);

    // Asked before each run of a repeat after the first: whether the previous run has gone out.
    void setPreviousRunGone(std::function<bool()> gone) { previousGone = std::move(gone); }

    // Repeats the macro at index with the repeat asked for. A macro started while another
    // repeats takes its place.
    void start(qsizetype index);
    void stop();
    bool running() const { return current >= 0; }
    int runsDone() const { return done; }
    int runsSkipped() const { return skipped; }

signals:
    void runs(const Macro &macro);
    void progressed(); // a run was made or skipped, or the repeat started or ended

private:
    void runOnce();
    void due();
    QList<Macro> list;
    QTimer timer;
    std::function<bool()> previousGone;
    qsizetype current = -1;
    int every = 1000, count = 1;
    int wanted = 0, done = 0, skipped = 0;
};
