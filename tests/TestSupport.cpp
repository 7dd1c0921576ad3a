#include "TestSupport.h"

#include "app/MainWindow.h"
#include "app/SettingsDialog.h"
#include "serial/SerialLink.h"
#include "tool/Launch.h"
#include "traffic/TrafficLog.h"

#include <cstring>
#include <sys/resource.h>

QByteArray hex(const QByteArray &text)
{
    static const QRegularExpression token(QStringLiteral(
        "\\s*(?:'([^']*)'|U\\+([0-9A-Fa-f]{4})(?:\\.\\.U\\+([0-9A-Fa-f]{4}))?|([0-9A-Fa-f]{2})(?:\\*(\\d+))?)\\s*"));
    QByteArray out;
    qsizetype at = 0;
    for (const QRegularExpressionMatch &m : token.globalMatch(QString::fromLatin1(text))) {
        if (m.capturedStart() != at)
            break; // not a token: said below
        at = m.capturedEnd();
        if (m.hasCaptured(1))
            out += m.captured(1).toLatin1();
        const uint first = m.captured(2).toUInt(nullptr, 16),
                   last = m.hasCaptured(3) ? m.captured(3).toUInt(nullptr, 16) : first;
        for (uint u = first; m.hasCaptured(2) && u <= last; ++u)
            out.append(char(u >> 8)).append(char(u & 0xFF)); // two-byte characters, high byte first
        if (m.hasCaptured(4))
            out.append(m.hasCaptured(5) ? m.captured(5).toLongLong() : 1, char(m.captured(4).toUInt(nullptr, 16)));
    }
    if (!text.mid(at).trimmed().isEmpty())
        qFatal("not bytes in a test's data at %lld: %s", qlonglong(at), text.mid(at, 40).constData());
    return out;
}

std::pair<QString, int> repeatOf(const QString &text)
{
    static const QRegularExpression repeat(QStringLiteral("^(.*)\\sx(\\d+)$"));
    const QRegularExpressionMatch m = repeat.match(text.trimmed());
    return m.hasMatch() ? std::make_pair(m.captured(1), m.captured(2).toInt()) : std::make_pair(text.trimmed(), 1);
}

QByteArray FarEnd::read(qsizetype n, int timeoutMs, int quietMs)
{
    QByteArray out;
    QElapsedTimer clock, quiet;
    clock.start();
    quiet.start();
    while (out.size() < n && clock.elapsed() < timeoutMs && (quietMs < 0 || quiet.elapsed() < quietMs) && isOpen()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const QByteArray got = PtyEndpoint::read(n - out.size());
        if (!got.isEmpty())
            quiet.restart();
        out += got;
    }
    return out;
}

void FarEnd::writeAll(const QByteArray &bytes)
{
    for (qsizetype done = 0; done < bytes.size() && isOpen();) {
        done += write(bytes.mid(done));
        if (done < bytes.size())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

Settings lineTo(const FarEnd &line, QSerialPort::FlowControl flow)
{
    Settings settings;
    settings.portName = line.path();
    settings.baudRate = 115200;
    settings.flowControl = flow;
    return settings;
}

int ModalCloser::armedClosers = 0;
QList<QPointer<QWidget>> ModalCloser::takenInHand;

bool ModalCloser::inHand(QWidget *modal)
{
    takenInHand.removeAll(nullptr);
    return modal && takenInHand.contains(modal);
}

ModalCloser::ModalCloser(std::function<void(QWidget *)> handler)
    : handler(std::move(handler))
{ }

ModalCloser::~ModalCloser() { setRemaining(0); }

void ModalCloser::setRemaining(int times)
{
    armedClosers += int(times > 0) - int(remaining > 0);
    remaining = times;
}

void ModalCloser::arm(int times)
{
    setRemaining(times);
    QTimer::singleShot(0, this, &ModalCloser::poll);
}

void ModalCloser::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (remaining <= 0)
        return; // destroyed or disarmed meanwhile
    if (!modal || modal == handled) { // a dialog being accepted may still show for a moment
        // Not up yet: look again shortly, from whichever event loop runs then.
        QTimer::singleShot(5, this, &ModalCloser::poll);
        return;
    }
    auto *box = qobject_cast<QMessageBox *>(modal);
    title = modal->windowTitle();
    text = box ? box->text() : QString();
    titles << title;
    texts << text;
    handled = modal;
    takenInHand << QPointer<QWidget>(modal);
    if (handler)
        handler(modal);
    else if (box)
        box->accept();
    else if (auto *dialog = qobject_cast<QDialog *>(modal))
        dialog->reject();
    else
        modal->close();
    setRemaining(remaining - 1);
    if (remaining > 0)
        QTimer::singleShot(0, this, &ModalCloser::poll);
}

UnexpectedModalWatch::UnexpectedModalWatch()
{
    auto *timer = new QTimer(this);
    timer->setInterval(20);
    connect(timer, &QTimer::timeout, this, &UnexpectedModalWatch::look);
    timer->start();
}

void UnexpectedModalWatch::look()
{
    QWidget *up = QApplication::activeModalWidget();
    if (!up || ModalCloser::armed() > 0 || ModalCloser::inHand(up)) {
        modal = nullptr;
        return;
    }
    if (up != modal) {
        modal = up;
        shownFor.start();
        return;
    }
    if (shownFor.elapsed() < graceMs)
        return;
    auto *box = qobject_cast<QMessageBox *>(up);
    const QString what = QStringLiteral("%1: %2").arg(up->windowTitle(), box ? box->text() : up->objectName());
    seen << what;
    modal = nullptr;
    if (auto *dialog = qobject_cast<QDialog *>(up))
        dialog->reject();
    else
        up->close();
    const QByteArray message = QStringLiteral("unexpected modal window \"%1\"").arg(what).toUtf8();
    if (QTest::currentTestFunction())
        QTest::qFail(message.constData(), __FILE__, __LINE__);
    else
        qWarning("%s", message.constData());
}

UnexpectedModalWatch *unexpectedModalWatch()
{
    static QPointer<UnexpectedModalWatch> watch;
    if (!watch && qobject_cast<QApplication *>(QCoreApplication::instance())) {
        watch = new UnexpectedModalWatch;
        watch->setParent(QCoreApplication::instance());
    }
    return watch;
}

namespace {
// Every test application watches from its start.
void watchModals()
{
    QTimer::singleShot(0, [] { unexpectedModalWatch(); });
}
} // namespace
Q_COREAPP_STARTUP_FUNCTION(watchModals)

void ConnectedToolTest::initTestCase()
{
    w = new MainWindow;
    peer = new FarEnd;
    QVERIFY(connectTo(*w, peer->path()).startsWith(QStringLiteral("Connected to")));
}

void ConnectedToolTest::cleanupTestCase()
{
    delete w;
    delete peer;
}

QString connectTo(MainWindow &window, const QString &path)
{
    window.findChild<QAction *>("actionConfigure")->trigger();
    auto *dialog = qobject_cast<SettingsDialog *>(QApplication::activeModalWidget());
    Q_ASSERT(dialog);
    auto *ports = dialog->findChild<QComboBox *>("serialPortInfoListBox");
    ports->setCurrentIndex(ports->count() - 1); // "Custom"
    ports->lineEdit()->selectAll();
    QTest::keyClicks(ports, path);
    QTest::mouseClick(dialog->findChild<QPushButton *>("applyButton"), Qt::LeftButton);
    Q_ASSERT(!dialog->isVisible());
    window.findChild<QAction *>("actionConnect")->trigger();
    return statusText(window);
}

QString consoleText(MainWindow &window) { return window.findChild<QPlainTextEdit *>("editRuvela")->toPlainText(); }

QString statusText(MainWindow &window) { return window.findChild<QLabel *>("statusLabel")->text(); }

void press(MainWindow &window, const char *buttonName)
{
    auto *button = window.findChild<QAbstractButton *>(buttonName);
    Q_ASSERT_X(button, "press", buttonName);
    auto *tabs = window.findChild<QTabWidget *>("mainTabsRuvela");
    for (QWidget *w = button; w; w = w->parentWidget()) {
        if (tabs->indexOf(w) >= 0)
            tabs->setCurrentWidget(w);
    }
    // A radio button or a check box takes a click on its mark or its text only, which need not
    // be the middle of the widget when a layout stretches it.
    QPoint at = button->rect().center();
    if (qobject_cast<QRadioButton *>(button) || qobject_cast<QCheckBox *>(button)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        option.icon = button->icon();
        option.iconSize = button->iconSize();
        at = button->style()
                 ->subElementRect(qobject_cast<QRadioButton *>(button) ? QStyle::SE_RadioButtonClickRect
                                                                       : QStyle::SE_CheckBoxClickRect,
                     &option, button)
                 .center();
    }
    QTest::mouseClick(button, Qt::LeftButton, {}, at);
}

ExpectedStream::ExpectedStream(const QByteArray &pattern)
{
    static const QRegularExpression marker(QStringLiteral("<(\\d+)(?:/(\\d+):(\\d+)-(\\d+))?>"));
    const QString text = QString::fromLatin1(pattern);
    qsizetype at = 0;
    for (const QRegularExpressionMatch &m : marker.globalMatch(text)) {
        pieces.append({hex(text.mid(at, m.capturedStart() - at).toLatin1())});
        pieces.append({{}, m.captured(1).toLongLong(), m.captured(2).toInt(), m.captured(3).toInt(),
            m.captured(4).isEmpty() ? -1 : m.captured(4).toInt()});
        at = m.capturedEnd();
    }
    pieces.append({hex(text.mid(at).toLatin1())});
}

qsizetype ExpectedStream::size() const
{
    qsizetype n = 0;
    for (const Piece &p : pieces)
        n += p.literal.size() + p.picture;
    return n;
}

QString ExpectedStream::mismatch(const QByteArray &actual) const
{
    qsizetype at = 0;
    for (const Piece &p : pieces) {
        if (p.picture) {
            // Ink only in the rows the picture promises, and some there.
            for (int row = 0; p.bytesPerRow && row < p.picture / p.bytesPerRow; ++row) {
                const QByteArray bytes = actual.mid(at + qsizetype(row) * p.bytesPerRow, p.bytesPerRow);
                if (bytes.count('\0') != bytes.size() && (row < p.firstInk || row > p.lastInk))
                    return QStringLiteral("picture at byte %1 has ink in row %2").arg(at).arg(row);
            }
            if (p.bytesPerRow && actual.mid(at, p.picture).count('\0') == p.picture)
                return QStringLiteral("picture at byte %1 is blank").arg(at);
            at += p.picture;
            continue;
        }
        const QByteArray got = actual.mid(at, p.literal.size());
        if (got != p.literal) {
            qsizetype k = 0;
            while (k < got.size() && got.at(k) == p.literal.at(k))
                ++k;
            return QStringLiteral("at byte %1: expected %2 but got %3")
                .arg(at + k)
                .arg(QString::fromLatin1(p.literal.mid(k, 12).toHex(' ')),
                    QString::fromLatin1(got.mid(k, 12).toHex(' ')));
        }
        at += p.literal.size();
    }
    return at == actual.size() ? QString() : QStringLiteral("%1 bytes expected, %2 arrived").arg(at).arg(actual.size());
}

ModalCloser *answerFileDialog(QObject *owner, const QString &file, int modals)
{
    auto *closer = new ModalCloser([file](QWidget *modal) {
        if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            dialog->selectFile(file);
            // Later, from the event loop: accepting may ask whether to replace the file, in a
            // box of its own that this closer must be free to answer.
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            if (QAbstractButton *yes = box->button(QMessageBox::Yes))
                yes->click(); // replace the file that is there
            else
                box->accept();
        }
    });
    closer->setParent(owner);
    closer->arm(modals);
    return closer;
}

QString cutOff(const QWidget *widget)
{
    if (!widget->isVisible())
        return widget->objectName() + QStringLiteral(" is hidden");
    const QRect shown(widget->mapTo(widget->window(), QPoint(0, 0)), widget->size());
    for (const QWidget *p = widget->parentWidget(); p; p = p->parentWidget()) {
        const QRect room(p->mapTo(widget->window(), QPoint(0, 0)), p->size());
        if (!room.contains(shown))
            return QStringLiteral("%1 at %2 does not fit in %3")
                .arg(widget->objectName(),
                    QString::asprintf("%d,%d %dx%d", shown.x(), shown.y(), shown.width(), shown.height()),
                    p->objectName());
    }
    return {};
}

QStringList dataLines(const QString &name)
{
    QFile file(QStringLiteral(RUVELA_TEST_DATA "/") + name);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        qFatal("cannot read test data %s", qPrintable(file.fileName()));
    QStringList lines;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty() && !line.startsWith(QLatin1Char('#')))
            lines << line;
    }
    return lines;
}

QList<QStringList> dataTable(const QString &name)
{
    QList<QStringList> rows;
    for (const QString &line : dataLines(name))
        rows << line.split(QStringLiteral(" | "));
    return rows;
}

void addTableRows(const QString &name)
{
    QTest::addColumn<QStringList>("row");
    for (const QStringList &row : dataTable(name))
        QTest::newRow(qPrintable(row[0])) << row;
}

QList<std::pair<QString, QStringList>> dataSections(const QString &name)
{
    QList<std::pair<QString, QStringList>> sections;
    for (const QString &line : dataLines(name)) {
        if (line.startsWith(QLatin1String("== ")))
            sections.append({line.mid(3), {}});
        else if (!sections.isEmpty())
            sections.last().second << line;
    }
    return sections;
}

void addScriptRows(const QString &name)
{
    QTest::addColumn<QStringList>("steps");
    for (const auto &[title, steps] : dataSections(name))
        QTest::newRow(qPrintable(title)) << steps;
}

void runScriptRow(MainWindow *window, FarEnd *far)
{
    QFETCH(QStringList, steps);
    if (window) {
        WindowScript(*window, *far).run(steps);
    } else {
        MainWindow fresh;
        FarEnd line;
        WindowScript(fresh, line).run(steps);
    }
}

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

} // namespace

bool WindowScript::run(const QStringList &steps)
{
    for (qsizetype i = 0; i < steps.size(); ++i) {
        const QString at
            = QString(steps[i]).replace(QLatin1String("LINE"), peer.path()).replace(QLatin1String("DIR"), dir.path());
        const QString op = at.section(QLatin1Char(' '), 0, 0), arg = at.section(QLatin1Char(' '), 1);
        if (op == QLatin1String("box")) {
            box.arm(), boxTitle = arg.section(QLatin1String(": "), 0, 0), boxText = arg.section(QLatin1String(": "), 1);
            continue;
        }
        step(op, arg);
        if (!QTest::currentTestFailed() && !boxTitle.isEmpty())
            checkBox();
        if (QTest::currentTestFailed()) {
            qWarning("failed at step %lld: %s", qlonglong(i + 1), qPrintable(at));
            return false;
        }
    }
    return true;
}

void WindowScript::checkBox()
{
    QTRY_VERIFY(box.done());
    QVERIFY2(
        box.title == boxTitle && box.text.contains(boxText), qPrintable(box.title + QStringLiteral(": ") + box.text));
    boxTitle.clear();
}

void WindowScript::step(const QString &op, const QString &arg)
{
    const QStringList args = arg.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString rest = arg.section(QLatin1Char(' '), 1); // after the first argument
    auto *edit = w.findChild<QLineEdit *>("lineEditSend");
    auto *console = w.findChild<QPlainTextEdit *>("editRuvela");
    if (op == QLatin1String("launch")) {
        w.start(parseLaunch(QStringList{"printer-ruvela"} + args));
    } else if (op == QLatin1String("action")) {
        w.findChild<QAction *>(arg)->trigger();
    } else if (op == QLatin1String("prop")) { // NAME PROPERTY VALUE: a widget or action set so
        QVERIFY2(w.findChild<QObject *>(args[0])->setProperty(qPrintable(args[1]), arg.section(QLatin1Char(' '), 2)),
            qPrintable(arg));
    } else if (op == QLatin1String("is")) { // NAME PROPERTY VALUE: it reads so
        QCOMPARE(w.findChild<QObject *>(args[0])->property(qPrintable(args[1])).toString(),
            arg.section(QLatin1Char(' '), 2));
    } else if (op.startsWith(QLatin1String("label"))) { // "label" starts so, "label=" is so, "label~" matches
        const QRegularExpression pattern(op == QLatin1String("label~")
                ? rest
                : QLatin1Char('^') + QRegularExpression::escape(rest) + (op == QLatin1String("label=") ? "$" : ""));
        auto *label = w.findChild<QLabel *>(args[0]);
        QTRY_VERIFY2(pattern.match(label->text()).hasMatch(), qPrintable(label->text()));
        counted = pattern.match(label->text()).captured(1);
    } else if (op == QLatin1String("invoke")) {
        QVERIFY(QMetaObject::invokeMethod(&w, qPrintable(arg)));
    } else if (op == QLatin1String("faults")) { // that the port reports on a line still there
        for (auto error : {QSerialPort::ResourceError, QSerialPort::WriteError, QSerialPort::ReadError,
                 QSerialPort::UnsupportedOperationError})
            QVERIFY(QMetaObject::invokeMethod(&w, "handleError", Q_ARG(QSerialPort::SerialPortError, error)));
    } else if (op == QLatin1String("reconnects")) { // leaving no descriptor open
        const auto descriptors = [] { return QDir(QStringLiteral("/proc/self/fd")).count(); };
        const auto before = descriptors();
        for (int i = 0; i < arg.toInt(); ++i) {
            w.findChild<QAction *>("actionConnect")->trigger();
            QVERIFY(statusText(w).startsWith(QStringLiteral("Connected to ")));
            w.findChild<QAction *>("actionDisconnect")->trigger();
        }
        QCOMPARE(descriptors(), before);
    } else if (op == QLatin1String("type") || op == QLatin1String("set")) {
        edit->setText(arg);
        if (op == QLatin1String("type"))
            QTest::keyClick(edit, Qt::Key_Return);
    } else if (op == QLatin1String("key")) { // NAME KEY: a key pressed on that widget
        QTest::keyClick(w.findChild<QWidget *>(args[0]), QKeySequence::fromString(rest)[0].key());
    } else if (op == QLatin1String("keys")) { // typed into a field
        QTest::keyClicks(w.findChild<QLineEdit *>(args[0]), rest);
    } else if (op == QLatin1String("press")) {
        press(w, qPrintable(arg));
    } else if (op == QLatin1String("click")) {
        QTest::mouseClick(w.findChild<QPushButton *>(arg), Qt::LeftButton);
    } else if (op == QLatin1String("down") || op == QLatin1String("up")) { // the mouse button, on the widget
        QTest::mouseEvent(op == QLatin1String("down") ? QTest::MousePress : QTest::MouseRelease,
            w.findChild<QWidget *>(arg), Qt::LeftButton, {}, QPoint());
    } else if (op == QLatin1String("item")) { // a click on the list's item N
        auto *list = w.findChild<QListWidget *>(args[0]);
        QVERIFY(list->item(rest.toInt()));
        QTest::mouseClick(
            list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(rest.toInt())).center());
    } else if (op == QLatin1String("sent")) { // these, or with none no more
        const QByteArray bytes = hex(arg.toLatin1());
        QCOMPARE((bytes.isEmpty() ? peer.readUntilQuiet(100) : peer.read(bytes.size())).toHex(' '), bytes.toHex(' '));
    } else if (op == QLatin1String("silent")) { // nothing reaches the far end for so long
        QCOMPARE(peer.read(1, arg.toInt()).toHex(' '), QByteArray());
    } else if (op == QLatin1String("got")) { // N bytes at least reached the far end
        QCOMPARE(peer.read(arg.toInt(), 10000).size(), arg.toInt());
    } else if (op == QLatin1String("counted")) { // what arrives now is what the note counted, and some came
        QCOMPARE(QString::number(peer.readUntilQuiet(300).size()), counted.toLongLong() > 0 ? counted : "more than 0");
    } else if (op == QLatin1String("repeats")) { // what arrives now is these, as many times as counted
        QCOMPARE(peer.readUntilQuiet(300).toHex(' '), hex(arg.toLatin1()).repeated(counted.toInt()).toHex(' '));
    } else if (op == QLatin1String("handed")) { // bytes the port took or holds, since Connect
        const SerialLink *link = w.findChild<SerialLink *>();
        QCOMPARE(link->sentTotal() + link->queued(), arg.toLongLong());
    } else if (op == QLatin1String("cancel")) { // the link drops what the port was not given yet
        w.findChild<SerialLink *>()->cancel();
    } else if (op == QLatin1String("far")) { // " xN" at the end: N times
        const auto [bytes, times] = repeatOf(arg);
        peer.writeAll(hex(bytes.toLatin1()).repeated(times));
    } else if (op == QLatin1String("lose")) {
        peer.close();
    } else if (op == QLatin1String("closed")) { // the port itself, not only the window's state
        QVERIFY(!w.findChild<QSerialPort *>()->isOpen());
    } else if (op == QLatin1String("console")) {
        QTRY_COMPARE(consoleText(w), QString::fromUtf8(hex(arg.toUtf8())));
    } else if (op == QLatin1String("console~")) {
        const QRegularExpression pattern(arg);
        QTRY_VERIFY2_WITH_TIMEOUT(
            pattern.match(consoleText(w)).hasMatch(), qPrintable(consoleText(w).right(200)), 60000);
        counted = pattern.match(consoleText(w)).captured(1);
    } else if (op == QLatin1String("typed")) { // text of the user's own, the cursor behind it
        console->setPlainText(arg), console->moveCursor(QTextCursor::End);
    } else if (op == QLatin1String("paste")) { // a paste of any length goes out whole
        QByteArray bytes;
        for (int i = 0; i < arg.toInt(); ++i)
            bytes += char(0x20 + i % 0x5F);
        edit->setText(QString::fromLatin1(bytes.toHex(' ')));
        QTest::keyClick(edit, Qt::Key_Return);
        QVERIFY(peer.read(bytes.size(), 20000) == bytes);
    } else if (op == QLatin1String("picture")) { // of N rows, every seventh inked
        QImage picture(384, arg.toInt(), QImage::Format_Mono);
        picture.fill(0);
        for (int y = 0; y < picture.height(); y += 7)
            std::memset(picture.scanLine(y), 0x5A, 48);
        const QString file = dir.filePath(QStringLiteral("picture.png"));
        QVERIFY(picture.save(file) && QMetaObject::invokeMethod(&w, "loadFile", Q_ARG(QString, file)));
        press(w, "pushButton_58PrintH");
    } else if (op == QLatin1String("bounded")) { // at most N lines of at most M characters
        QVERIFY(console->blockCount() <= args[0].toInt());
        for (QTextBlock b = console->document()->begin(); b.isValid(); b = b.next())
            QVERIFY(b.length() <= args[1].toInt());
    } else if (op == QLatin1String("send-text")) { // Send File: N long lines, wrapped, so that a log keeps up
        const QString file = dir.filePath(QStringLiteral("long.txt"));
        const QByteArray line = QByteArray("The quick brown fox jumps over the lazy dog 0123456789 ").repeated(18);
        QVERIFY(writeFile(file, (line + '\n').repeated(arg.toInt())));
        answerFileDialog(&box, file);
        w.findChild<QAction *>("actionSendFile")->trigger();
    } else if (op == QLatin1String("job")) { // N bytes handed over as the buttons do
        const QByteArray job(arg.toInt(), 'x');
        QVERIFY(QMetaObject::invokeMethod(&w, "Write",
            Q_ARG(const unsigned char *, reinterpret_cast<const unsigned char *>(job.constData())),
            Q_ARG(size_t, size_t(job.size()))));
    } else if (op == QLatin1String("show")) { // at the size the window opens with
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
    } else if (op == QLatin1String("shown") || op == QLatin1String("hidden")) {
        QTRY_VERIFY(
            w.findChild<QWidget *>(arg) && w.findChild<QWidget *>(arg)->isVisible() == (op == QLatin1String("shown")));
        QVERIFY2(op == QLatin1String("hidden") || cutOff(w.findChild<QWidget *>(arg)).isEmpty(), qPrintable(arg));
    } else if (op == QLatin1String("save")) { // NAME FILE TEXT: the action or button saves FILE in DIR, the
        // dialog's title holding TEXT
        ModalCloser *save = answerFileDialog(&box, dir.filePath(args[1]));
        if (auto *action = w.findChild<QAction *>(args[0]))
            action->trigger();
        else
            QTest::mouseClick(w.findChild<QAbstractButton *>(args[0]), Qt::LeftButton);
        QTRY_VERIFY(save->done());
        QVERIFY2(save->title.contains(arg.section(QLatin1Char(' '), 2)), qPrintable(save->title));
    } else if (op == QLatin1String("write")) { // NAME TEXT: a file of the user's own in DIR
        QVERIFY(writeFile(dir.filePath(args[0]), rest.toUtf8()));
    } else if (op == QLatin1String("file")) { // NAME PATTERN: the file in DIR, read as UTF-8, matches
        const QString text = QString::fromUtf8(readFile(dir.filePath(args[0])));
        QVERIFY2(QRegularExpression(rest).match(text).hasMatch(), qPrintable(text.left(300)));
    } else if (op == QLatin1String("rows")) { // Traffic's rows but events, as the data file lists them
        QStringList expected = dataLines(arg);
        for (QString &line : expected)
            line = line.simplified();
        QTRY_COMPARE(trafficRows(w, false), expected);
    } else if (op == QLatin1String("row~")) { // some row of Traffic, events too, matches
        QTRY_VERIFY2(!trafficRows(w, true).filter(QRegularExpression(arg)).isEmpty(),
            qPrintable(trafficRows(w, true).mid(trafficRows(w, true).size() - 4).join(QLatin1Char('\n'))));
    } else if (op == QLatin1String("bytes~")) { // the bytes Traffic shows on row N match
        const TrafficLog *log = w.findChild<TrafficLog *>();
        const QString shown = log->data(log->index(args[0].toInt(), TrafficLog::Bytes), Qt::DisplayRole).toString();
        QVERIFY2(QRegularExpression(rest).match(shown).hasMatch(), qPrintable(shown));
    } else if (op == QLatin1String("idle")) { // no more errors, and almost no CPU spent waiting
        QSignalSpy errors(w.findChild<QSerialPort *>(), &QSerialPort::errorOccurred);
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        QTest::qWait(300);
        getrusage(RUSAGE_SELF, &after);
        QCOMPARE(errors.count(), 0);
        const long cpuMicros = (after.ru_utime.tv_sec - before.ru_utime.tv_sec) * 1000000L + after.ru_utime.tv_usec
            - before.ru_utime.tv_usec;
        QVERIFY2(cpuMicros < 150000, qPrintable(QString::number(cpuMicros)));
    } else if (op == QLatin1String("wait")) {
        QTest::qWait(arg.toInt());
    } else {
        QFAIL(qPrintable(QStringLiteral("no such step: ") + op));
    }
}

QRect inkBox(const QImage &paper)
{
    QRect box;
    for (int y = 0; y < paper.height(); ++y)
        for (int x = 0; x < paper.width(); ++x)
            box |= inked(paper, x, y) ? QRect(x, y, 1, 1) : QRect();
    return box;
}

QString zbar(const QImage &paper)
{
    const QString zbarimg = QStandardPaths::findExecutable(QStringLiteral("zbarimg"));
    if (zbarimg.isEmpty())
        return QStringLiteral("<zbarimg missing>");
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("paper.png"));
    // A white margin around the roll, as scanners want a quiet zone.
    QImage framed(paper.width() + 80, paper.height() + 80, QImage::Format_Grayscale8);
    framed.fill(255);
    for (int y = 0; y < paper.height(); ++y)
        std::memcpy(framed.scanLine(y + 40) + 40, paper.constScanLine(y), size_t(paper.width()));
    framed.save(file);
    QProcess p;
    p.start(zbarimg,
        {"-q", "-Sean13.enable", "-Supca.enable", "-Supce.enable", "-Scodabar.enable", "-Scode93.enable",
            "-Si25.enable", "-Sdatabar.enable", "-Sdatabar-exp.enable", file});
    p.waitForFinished(20000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

void runsHeadless(QProcess &program)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QLatin1String(name));
    program.setProcessEnvironment(env);
}

bool writeFile(const QString &name, const QByteArray &bytes)
{
    QFile out(name);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
}

void addJobRows()
{
    QTest::addColumn<QStringList>("checked"); // the button, then the checkables checked before
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QStringList>("console");
    for (const auto &[title, lines] : dataSections(QStringLiteral("jobs.txt"))) {
        QByteArray stream;
        QStringList console; // the lines that start with "> "
        for (const QString &line : lines)
            line.startsWith(QLatin1Char('>')) ? void(console << line.mid(2)) : void(stream += line.toLatin1() + ' ');
        QTest::newRow(qPrintable(title)) << title.split(QLatin1Char(' ')) << stream << console;
    }
}

void pressJobRow(MainWindow &window, FarEnd &peer)
{
    QFETCH(QStringList, checked);
    QFETCH(QByteArray, stream);
    QFETCH(QStringList, console);
    window.findChild<QPlainTextEdit *>("editRuvela")->setPlainText(QStringLiteral("left over"));
    window.findChild<QCheckBox *>("checkBoxBarCodeMargin")->setChecked(false);
    window.findChild<QRadioButton *>("radioButton115200")->setChecked(true);
    window.findChild<QRadioButton *>("radioButtonSoftFlow")->setChecked(true);
    const QString button = checked.takeFirst();
    for (const QString &name : checked)
        window.findChild<QAbstractButton *>(name)->setChecked(true);
    const ExpectedStream expected(stream);
    press(window, qPrintable(button));
    QByteArray got = peer.read(expected.size());
    got += peer.readUntilQuiet(100); // nothing more may come
    const QString mismatch = expected.mismatch(got);
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    QCOMPARE(consoleText(window), console.join(QLatin1Char('\n')));
}
