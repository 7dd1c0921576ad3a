#include "WindowSteps.h"

#include "app/MainWindow.h"
#include "serial/SerialLink.h"
#include "tool/Launch.h"
#include "traffic/TrafficLog.h"

#include <cstring>
#include <sys/resource.h>

using steps::got;
using steps::matched;
using steps::quoted;
using steps::waitFor;

namespace {

// Traffic's rows as "direction | offset | what | size", events only when asked for; a row
// older than the one before it shows as such.
QStringList trafficRows(MainWindow &w, bool events)
{
    QStringList rows;
    const TrafficLog *log = w.findChild<TrafficLog *>();
    for (int i = 0; i < log->rowCount(); ++i) {
        const TrafficRow &r = log->row(i);
        if (events || r.direction != TrafficRow::Direction::Event)
            rows << QStringLiteral("%1 | %2 | %3 | %4")
                        .arg(TrafficLog::directionName(r.direction))
                        .arg(r.offset)
                        .arg(r.what)
                        .arg(r.size);
        if (i > 0 && r.time < log->row(i - 1).time)
            rows << QStringLiteral("row %1 is older than the one before").arg(i);
    }
    return rows;
}

QString none(const QString &name) { return QStringLiteral("the window has no %1").arg(name); }

QString hexOf(const QByteArray &bytes)
{
    return bytes.isEmpty() ? QStringLiteral("nothing") : QString::fromLatin1(bytes.toHex(' ').toUpper());
}

// What reached the far end against what should have: nothing when they are the same.
QString bytesSeen(const QByteArray &actual, const QByteArray &expected)
{
    return actual == expected ? QString() : QStringLiteral("got ") + hexOf(actual);
}

QStringList words(const QString &text) { return text.split(QLatin1Char(' '), Qt::SkipEmptyParts); }
// The text after the first n words.
QString after(const QString &text, int n) { return text.section(QLatin1Char(' '), n); }

} // namespace

WindowSession::WindowSession(MainWindow &window, FarEnd &far)
    : w(window)
    , peer(far)
{
    names = {{QStringLiteral("LINE"), peer.path()}, {QStringLiteral("DIR"), dir.path()}};
    auto *edit = w.findChild<QLineEdit *>("lineEditSend");
    auto *console = w.findChild<QPlainTextEdit *>("editRuvela");
    // A label comes to show a text: "label" one that starts so, "label=" exactly so, "label~" a
    // match, its first group what "counted" and "repeats" take.
    const auto label = [this](const QString &how) {
        return [this, how](const QString &arg) -> QString {
            const QString rest = after(arg, 1);
            const QRegularExpression pattern(how == QLatin1String("~")
                    ? rest
                    : QLatin1Char('^') + QRegularExpression::escape(rest) + (how == QLatin1String("=") ? "$" : ""));
            auto *shown = w.findChild<QLabel *>(words(arg).value(0));
            if (!shown)
                return none(words(arg).value(0));
            if (!waitFor([&] { return pattern.match(shown->text()).hasMatch(); }))
                return QStringLiteral("got ") + quoted(shown->text());
            counted = pattern.match(shown->text()).captured(1);
            return {};
        };
    };
    // A widget of the window comes to show, whole ("shown"), or to hide.
    const auto visible = [this](bool shown) {
        return [this, shown](const QString &name) -> QString {
            const auto is = [&] { return w.findChild<QWidget *>(name) && w.findChild<QWidget *>(name)->isVisible(); };
            if (!waitFor([&] { return is() == shown; }))
                return shown ? QStringLiteral("not shown") : QStringLiteral("not hidden");
            return shown ? cutOff(w.findChild<QWidget *>(name)) : QString();
        };
    };
    const auto mouse = [this](QTest::MouseAction action) {
        return [this, action](const QString &name) -> QString {
            QWidget *widget = w.findChild<QWidget *>(name);
            if (!widget)
                return none(name);
            QTest::mouseEvent(action, widget, Qt::LeftButton, {}, QPoint());
            return {};
        };
    };
    ops = {
        {"launch", "ARGS", "the window starts with these arguments",
            [this](const QString &arg) {
                w.start(parseLaunch(QStringList{"printer-ruvela"} + words(arg)));
                return QString();
            }},
        {"show", "", "the window shows, at the size it opens with",
            [this](const QString &) {
                w.show();
                return QTest::qWaitForWindowExposed(&w) ? QString() : QStringLiteral("not exposed");
            }},
        {"action", "NAME", "the action is triggered",
            [this](const QString &name) {
                auto *action = w.findChild<QAction *>(name);
                return action ? (action->trigger(), QString()) : none(name);
            }},
        {"invoke", "SLOT", "the window's slot is called",
            [this](const QString &slot) {
                return QMetaObject::invokeMethod(&w, qPrintable(slot)) ? QString() : QStringLiteral("no such slot");
            }},
        {"prop", "NAME PROPERTY VALUE", "a widget's or action's property is set so",
            [this](const QString &arg) {
                QObject *object = w.findChild<QObject *>(words(arg).value(0));
                if (!object)
                    return none(words(arg).value(0));
                return object->setProperty(qPrintable(words(arg).value(1)), after(arg, 2))
                    ? QString()
                    : QStringLiteral("it takes no such value");
            }},
        {"is", "NAME PROPERTY VALUE", "a widget's or action's property reads so now",
            [this](const QString &arg) {
                QObject *object = w.findChild<QObject *>(words(arg).value(0));
                if (!object)
                    return none(words(arg).value(0));
                return got(object->property(qPrintable(words(arg).value(1))).toString(), after(arg, 2));
            }},
        {"label", "NAME TEXT", "the label comes to show a text that starts so", label({})},
        {"label=", "NAME TEXT", "the label comes to show exactly this", label(QStringLiteral("="))},
        {"label~", "NAME PATTERN", "the label comes to show a match; its first group is the count", label("~")},
        {"press", "BUTTON", "a click on the button, its tab brought to the front",
            [this](const QString &name) {
                if (!w.findChild<QAbstractButton *>(name))
                    return none(name);
                press(w, qPrintable(name));
                return QString();
            }},
        {"click", "BUTTON", "a click on a button outside the tabs",
            [this](const QString &name) {
                auto *button = w.findChild<QPushButton *>(name);
                return button ? (QTest::mouseClick(button, Qt::LeftButton), QString()) : none(name);
            }},
        {"down", "NAME", "the mouse button goes down on the widget", mouse(QTest::MousePress)},
        {"up", "NAME", "the mouse button comes up on the widget", mouse(QTest::MouseRelease)},
        {"keys", "FIELD TEXT", "the text is typed into the field",
            [this](const QString &arg) {
                auto *field = w.findChild<QLineEdit *>(words(arg).value(0));
                return field ? (QTest::keyClicks(field, after(arg, 1)), QString()) : none(words(arg).value(0));
            }},
        {"key", "NAME KEY", "the key is pressed on the widget",
            [this](const QString &arg) {
                QWidget *widget = w.findChild<QWidget *>(words(arg).value(0));
                if (!widget)
                    return none(words(arg).value(0));
                QTest::keyClick(widget, QKeySequence::fromString(after(arg, 1))[0].key());
                return QString();
            }},
        {"item", "LIST N", "a click on the list's item N",
            [this](const QString &arg) {
                auto *list = w.findChild<QListWidget *>(words(arg).value(0));
                if (!list)
                    return none(words(arg).value(0));
                QListWidgetItem *item = list->item(after(arg, 1).toInt());
                if (!item)
                    return QStringLiteral("the list holds %1 items").arg(list->count());
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
                return QString();
            }},
        {"type", "TEXT", "the text is typed into the send line, then Return",
            [edit](const QString &text) {
                edit->setText(text);
                QTest::keyClick(edit, Qt::Key_Return);
                return QString();
            }},
        {"set", "TEXT", "the text is typed into the send line, and no more",
            [edit](const QString &text) { return edit->setText(text), QString(); }},
        {"paste", "N", "N bytes pasted into the send line as hex reach the far end whole",
            [this, edit](const QString &arg) {
                QByteArray bytes;
                for (int i = 0; i < arg.toInt(); ++i)
                    bytes += char(0x20 + i % 0x5F);
                edit->setText(QString::fromLatin1(bytes.toHex(' ')));
                QTest::keyClick(edit, Qt::Key_Return);
                const QByteArray read = peer.read(bytes.size(), 20000);
                return read == bytes ? QString()
                                     : QStringLiteral("%1 bytes came, %2 of them as pasted")
                                           .arg(read.size())
                                           .arg(read == bytes.left(read.size()) ? read.size() : -1);
            }},
        {"faults", "", "the port reports the errors it reports on a line that is still there",
            [this](const QString &) {
                for (auto error : {QSerialPort::ResourceError, QSerialPort::WriteError, QSerialPort::ReadError,
                         QSerialPort::UnsupportedOperationError}) {
                    if (!QMetaObject::invokeMethod(&w, "handleError", Q_ARG(QSerialPort::SerialPortError, error)))
                        return QStringLiteral("the window takes no error %1").arg(int(error));
                }
                return QString();
            }},
        {"reconnects", "N", "connect and disconnect N times, leaving no descriptor open",
            [this](const QString &arg) {
                const auto descriptors = [] { return QDir(QStringLiteral("/proc/self/fd")).count(); };
                const auto before = descriptors();
                for (int i = 0; i < arg.toInt(); ++i) {
                    w.findChild<QAction *>("actionConnect")->trigger();
                    if (!statusText(w).startsWith(QStringLiteral("Connected to ")))
                        return QStringLiteral("connect %1 said %2").arg(i + 1).arg(quoted(statusText(w)));
                    w.findChild<QAction *>("actionDisconnect")->trigger();
                }
                return descriptors() == before
                    ? QString()
                    : QStringLiteral("%1 descriptors open, %2 before").arg(descriptors()).arg(before);
            }},
        {"sent", "[HEX]", "these bytes reached the far end next; with none, nothing more did",
            [this](const QString &arg) {
                const QByteArray bytes = hex(arg.toLatin1());
                return bytesSeen(bytes.isEmpty() ? peer.readUntilQuiet(100) : peer.read(bytes.size()), bytes);
            }},
        {"silent", "MS", "nothing reaches the far end for so long",
            [this](const QString &arg) { return bytesSeen(peer.read(1, arg.toInt()), {}); }},
        {"got", "N", "N bytes at least reached the far end",
            [this](const QString &arg) {
                const qsizetype n = peer.read(arg.toInt(), 10000).size();
                return n == arg.toInt() ? QString() : QStringLiteral("got %1 bytes").arg(n);
            }},
        {"counted", "", "what reaches the far end now is as many bytes as the last pattern counted, and some",
            [this](const QString &) {
                const QString n = QString::number(peer.readUntilQuiet(300).size());
                const QString expected = counted.toLongLong() > 0 ? counted : QStringLiteral("more than 0");
                return n == expected ? QString() : QStringLiteral("got %1 bytes, counted %2").arg(n, expected);
            }},
        {"repeats", "HEX", "what reaches the far end now is these, as many times as the last pattern counted",
            [this](const QString &arg) {
                const QByteArray read = peer.readUntilQuiet(300),
                                 expected = hex(arg.toLatin1()).repeated(counted.toInt());
                return read == expected ? QString()
                                        : QStringLiteral("got %1, counted %2 times").arg(hexOf(read.left(64)), counted);
            }},
        {"handed", "N", "the port took or holds N bytes since Connect",
            [this](const QString &arg) {
                const SerialLink *link = w.findChild<SerialLink *>();
                return got(QString::number(link->sentTotal() + link->queued()), arg);
            }},
        {"cancel", "", "the link drops what the port was not given yet",
            [this](const QString &) { return w.findChild<SerialLink *>()->cancel(), QString(); }},
        {"far", "HEX", "the far end writes these bytes",
            [this](const QString &arg) { return peer.writeAll(hex(arg.toLatin1())), QString(); }},
        {"lose", "", "the far end closes", [this](const QString &) { return peer.close(), QString(); }},
        {"closed", "", "the window's port itself is closed, not only its state",
            [this](const QString &) {
                return w.findChild<QSerialPort *>()->isOpen() ? QStringLiteral("it is open") : QString();
            }},
        {"console", "HEX", "the console comes to hold exactly this text, the bytes read as UTF-8",
            [this](const QString &arg) {
                const QString expected = QString::fromUtf8(hex(arg.toUtf8()));
                waitFor([&] { return consoleText(w) == expected; });
                return consoleText(w) == expected ? QString() : QStringLiteral("got ") + quoted(consoleText(w));
            }},
        {"console~", "PATTERN", "the console comes to hold a match, within a minute; its first group is the count",
            [this](const QString &arg) {
                const QRegularExpression pattern(arg);
                if (!waitFor([&] { return pattern.match(consoleText(w)).hasMatch(); }, 60000))
                    return QStringLiteral("got ") + quoted(consoleText(w).right(200));
                counted = pattern.match(consoleText(w)).captured(1);
                return QString();
            }},
        {"typed", "TEXT", "the console holds this text of the user's own, the cursor behind it",
            [console](const QString &text) {
                console->setPlainText(text), console->moveCursor(QTextCursor::End);
                return QString();
            }},
        {"bounded", "N M", "the console holds at most N lines of at most M characters",
            [console](const QString &arg) {
                if (console->blockCount() > words(arg).value(0).toInt())
                    return QStringLiteral("%1 lines").arg(console->blockCount());
                for (QTextBlock b = console->document()->begin(); b.isValid(); b = b.next())
                    if (b.length() > words(arg).value(1).toInt())
                        return QStringLiteral("line %1 has %2 characters").arg(b.blockNumber() + 1).arg(b.length());
                return QString();
            }},
        {"picture", "N", "a picture of N rows, 48 bytes each, every seventh inked, is loaded and printed",
            [this](const QString &arg) {
                QImage picture(384, arg.toInt(), QImage::Format_Mono);
                picture.fill(0);
                for (int y = 0; y < picture.height(); y += 7)
                    std::memset(picture.scanLine(y), 0x5A, 48);
                const QString file = dir.filePath(QStringLiteral("picture.png"));
                if (!picture.save(file) || !QMetaObject::invokeMethod(&w, "loadFile", Q_ARG(QString, file)))
                    return QStringLiteral("the picture did not load");
                press(w, "pushButton_58PrintH");
                return QString();
            }},
        {"send-text", "N", "Send File of N long lines of text, wrapped, so that a log keeps up",
            [this](const QString &arg) {
                const QString file = dir.filePath(QStringLiteral("long.txt"));
                const QByteArray line
                    = QByteArray("The quick brown fox jumps over the lazy dog 0123456789 ").repeated(18);
                if (!writeFile(file, (line + '\n').repeated(arg.toInt())))
                    return QStringLiteral("cannot write ") + file;
                answerFileDialog(&box, file);
                w.findChild<QAction *>("actionSendFile")->trigger();
                return QString();
            }},
        {"job", "N", "N bytes are handed over as the buttons do",
            [this](const QString &arg) {
                const QByteArray job(arg.toInt(), 'x');
                return QMetaObject::invokeMethod(&w, "Write",
                           Q_ARG(const unsigned char *, reinterpret_cast<const unsigned char *>(job.constData())),
                           Q_ARG(size_t, size_t(job.size())))
                    ? QString()
                    : QStringLiteral("the window takes no job");
            }},
        {"shown", "NAME", "the widget comes to show, whole", visible(true)},
        {"hidden", "NAME", "the widget comes to hide", visible(false)},
        {"save", "NAME FILE TEXT", "the action or button saves FILE in DIR, the dialog's title holding TEXT",
            [this](const QString &arg) {
                const QString name = words(arg).value(0);
                ModalCloser *save = answerFileDialog(&box, dir.filePath(words(arg).value(1)));
                if (auto *action = w.findChild<QAction *>(name))
                    action->trigger();
                else if (auto *button = w.findChild<QAbstractButton *>(name))
                    QTest::mouseClick(button, Qt::LeftButton);
                else
                    return none(name);
                if (!waitFor([save] { return save->done(); }))
                    return QStringLiteral("no file dialog came");
                return save->title.contains(after(arg, 2))
                    ? QString()
                    : QStringLiteral("the dialog's title is ") + quoted(save->title);
            }},
        {"write", "NAME TEXT", "a file of the user's own in DIR, a private folder",
            [this](const QString &arg) {
                return writeFile(dir.filePath(words(arg).value(0)), after(arg, 1).toUtf8())
                    ? QString()
                    : QStringLiteral("cannot write it");
            }},
        {"file", "NAME PATTERN", "the file in DIR, read as UTF-8, holds a match",
            [this](const QString &arg) {
                const QString text = QString::fromUtf8(readFile(dir.filePath(words(arg).value(0))));
                return matched(text, after(arg, 1)).isEmpty() ? QString()
                                                              : QStringLiteral("got ") + quoted(text.left(300));
            }},
        {"rows", "FILE",
            "Traffic's rows but events, \"direction | offset | what | size\", in time order, as the data file "
            "lists them",
            [this](const QString &file) {
                QStringList expected = dataLines(file);
                for (QString &line : expected)
                    line = line.simplified();
                waitFor([&] { return trafficRows(w, false) == expected; });
                return steps::firstDifference(trafficRows(w, false), expected);
            }},
        {"row~", "PATTERN", "some row of Traffic, events too, comes to match",
            [this](const QString &pattern) {
                const QRegularExpression re(pattern);
                if (waitFor([&] { return !trafficRows(w, true).filter(re).isEmpty(); }))
                    return QString();
                const QStringList rows = trafficRows(w, true);
                return QStringLiteral("the last rows are ") + quoted(rows.mid(rows.size() - 4).join(QLatin1Char('\n')));
            }},
        {"bytes~", "N PATTERN", "the bytes Traffic shows on its row N match",
            [this](const QString &arg) {
                const TrafficLog *log = w.findChild<TrafficLog *>();
                return matched(
                    log->data(log->index(words(arg).value(0).toInt(), TrafficLog::Bytes), Qt::DisplayRole).toString(),
                    after(arg, 1));
            }},
        {"idle", "", "no more port errors, and almost no CPU spent waiting",
            [this](const QString &) {
                QSignalSpy errors(w.findChild<QSerialPort *>(), &QSerialPort::errorOccurred);
                rusage start{}, end{};
                getrusage(RUSAGE_SELF, &start);
                QTest::qWait(300);
                getrusage(RUSAGE_SELF, &end);
                if (errors.count() > 0)
                    return QStringLiteral("%1 port errors").arg(errors.count());
                const long cpuMicros = (end.ru_utime.tv_sec - start.ru_utime.tv_sec) * 1000000L + end.ru_utime.tv_usec
                    - start.ru_utime.tv_usec;
                return cpuMicros < 150000 ? QString() : QStringLiteral("%1 µs of CPU in 300 ms").arg(cpuMicros);
            }},
        {"wait", "MS", "the event loop runs so long",
            [](const QString &arg) { return QTest::qWait(arg.toInt()), QString(); }},
        {"box", "TITLE: TEXT", "the step after this shows one box with that title, its text holding TEXT",
            [this](const QString &arg) {
                box.arm(), boxTitle = arg.section(QLatin1String(": "), 0, 0),
                           boxText = arg.section(QLatin1String(": "), 1);
                return QString();
            }},
    };
}

bool WindowSession::run(const QList<steps::Line> &steps)
{
    // Every step but "box" shows the box one armed for.
    steps::Ops checked = ops;
    for (steps::Op &op : checked) {
        if (op.name != QLatin1String("box"))
            op.run = [this, run = op.run](const QString &arg) {
                const QString seen = run(arg);
                return seen.isEmpty() && !boxTitle.isEmpty() ? checkBox() : seen;
            };
    }
    return steps::run(checked, steps, names);
}

QString WindowSession::checkBox()
{
    const QString expected = boxTitle;
    boxTitle.clear();
    if (!waitFor([this] { return box.done(); }))
        return QStringLiteral("no box \"%1\" came").arg(expected);
    if (box.title != expected || !box.text.contains(boxText))
        return QStringLiteral("the box said ") + quoted(box.title + QStringLiteral(": ") + box.text);
    return {};
}

void addScriptRows(const QString &file) { steps::addScriptRows(file); }

void runScriptRow(MainWindow *window, FarEnd *far)
{
    QFETCH(steps::Script, script);
    if (window) {
        WindowSession(*window, *far).run(script.steps);
    } else {
        MainWindow fresh;
        FarEnd line;
        WindowSession(fresh, line).run(script.steps);
    }
}
