#pragma once

#include "app/SendLine.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

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
class MacroBook : public QObject
{
    Q_OBJECT
public:
    explicit MacroBook(QObject *parent = nullptr);

    const QList<Macro> &macros() const { return list; }
    // Adds a macro, or replaces the one of the same name. Empty, or why the macro is refused.
    QString add(const Macro &macro);
    void remove(qsizetype index);

    // The file form: {"macros": [{"name": ..., "mode": "hex" | "text", "text": ...}, ...]}.
    QByteArray toJson() const;
    // Takes the macros of a file's content, or leaves the book as it was and says what is wrong.
    QString fromJson(const QByteArray &json);

    // times 0 repeats until stopped. A macro started while another repeats takes its place.
    void start(qsizetype index, int intervalMs, int times);
    void stop();
    bool running() const { return current >= 0; }
    int runsDone() const { return done; }

signals:
    void runs(const Macro &macro);
    void progressed(); // a run was made, or the repeat started or ended

private:
    void runOnce();
    QList<Macro> list;
    QTimer timer;
    qsizetype current = -1;
    int wanted = 0, done = 0;
};
