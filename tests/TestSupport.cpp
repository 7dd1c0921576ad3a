#include "TestSupport.h"

#include "StepScript.h"

#include "app/MainWindow.h"
#include "app/SettingsDialog.h"

#include <cstring>

namespace {

// The bytes of text from at on, up to a ")" that closes a group when closing, each thing
// followed by "*N" taken N times.
QByteArray bytesFrom(const QString &text, qsizetype &at, bool closing)
{
    static const QRegularExpression thing(
        QStringLiteral("\\s*(?:(?:'([^']*)'|U\\+([0-9A-Fa-f]{4})(?:\\.\\.U\\+([0-9A-Fa-f]{4}))?|"
                       "([0-9A-Fa-f]{2}))(?:\\*(\\d+))?|(\\()|(\\)))\\s*"));
    static const QRegularExpression count(QStringLiteral("\\*(\\d+)\\s*"));
    QByteArray out;
    while (at < text.size()) {
        const QRegularExpressionMatch m
            = thing.match(text, at, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
        if (!m.hasMatch())
            break; // not a thing: said below
        at = m.capturedEnd();
        if (m.hasCaptured(7)) { // a group ends
            if (!closing)
                qFatal("a \")\" that closes no group in a test's data: %s", qPrintable(text));
            return out;
        }
        QByteArray one;
        qsizetype times = m.hasCaptured(5) ? m.captured(5).toLongLong() : 1;
        if (m.hasCaptured(1))
            one = m.captured(1).toLatin1();
        const uint first = m.captured(2).toUInt(nullptr, 16),
                   last = m.hasCaptured(3) ? m.captured(3).toUInt(nullptr, 16) : first;
        for (uint u = first; m.hasCaptured(2) && u <= last; ++u)
            one.append(char(u >> 8)).append(char(u & 0xFF)); // two-byte characters, high byte first
        if (m.hasCaptured(4))
            one = QByteArray(1, char(m.captured(4).toUInt(nullptr, 16)));
        if (m.hasCaptured(6)) { // a group: its count stands after its ")"
            one = bytesFrom(text, at, true);
            const QRegularExpressionMatch n
                = count.match(text, at, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
            if (n.hasMatch())
                at = n.capturedEnd(), times = n.captured(1).toLongLong();
        }
        out += one.repeated(times);
    }
    if (closing)
        qFatal("a group without its \")\" in a test's data: %s", qPrintable(text));
    if (!text.mid(at).trimmed().isEmpty())
        qFatal("not bytes in a test's data at %lld: %s", qlonglong(at), qPrintable(text.mid(at, 40)));
    return out;
}

} // namespace

QByteArray hex(const QByteArray &text)
{
    qsizetype at = 0;
    return bytesFrom(QString::fromLatin1(text), at, false);
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
    QStringList lines;
    for (const steps::Line &line : steps::linesOf(name))
        lines << line.text;
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
