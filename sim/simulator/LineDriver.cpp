#include "simulator/LineDriver.h"

namespace sim {

namespace {
constexpr qsizetype maxReadBytes = 256 * 1024;
}

LineDriver::LineDriver(controller::Interpreter &interpreter, const WireSettings &settings, QObject *parent)
    : QObject(parent)
    , interpreter(interpreter)
    , model(interpreter, settings)
{
    timer.setInterval(4);
    connect(&timer, &QTimer::timeout, this, &LineDriver::tick);
}

bool LineDriver::plugIn()
{
    if (!endpoint.open())
        return false;
    if (!linkPath.isEmpty() && !endpoint.link(linkPath)) {
        endpoint.close();
        return false;
    }
    if (!clock.isValid())
        clock.start();
    timer.start();
    emit pathChanged(endpoint.path());
    return true;
}

bool LineDriver::serveTcp(const QString &where, double idleSeconds)
{
    tcp = new TcpEndpoint(this);
    tcp->setIdleSeconds(idleSeconds);
    if (!tcp->listen(where)) {
        tcpError = tcp->errorString();
        delete tcp;
        tcp = nullptr;
        return false;
    }
    connect(tcp, &TcpEndpoint::clientChanged, this, &LineDriver::tcpClientChanged);
    if (!clock.isValid())
        clock.start();
    timer.start();
    return true;
}

void LineDriver::unplug()
{
    if (!tcp)
        timer.stop();
    endpoint.close();
    emit pathChanged(QString());
}

void LineDriver::tick()
{
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    clock.restart();
    const qint64 rowsBefore = interpreter.paper().rows(), bytesBefore = interpreter.bytesReceived();
    const qint64 receivedBefore = model.receivedBytes();
    if (endpoint.isOpen())
        model.setHostHonoursXoff(endpoint.hostHonoursXoff());
    QByteArray serial = model.advance(seconds);
    if (endpoint.isOpen()) {
        // A host that ignores XOFF is read as fast as the wire carries, so that what does not
        // fit is lost; an unpaced one still a bounded slice a tick, so that a flood cannot keep
        // one tick, and the queries behind it, waiting.
        const qsizetype allowance = model.readAllowance(WireModel::Serial);
        const QByteArray bytes = endpoint.read(allowance < 0 ? maxReadBytes : allowance);
        if (!bytes.isEmpty()) {
            serial += model.receive(bytes, WireModel::Serial);
            serial += model.advance(0); // text waiting for nothing prints at once
        }
    }
    if (tcp) {
        tcp->serve();
        const QByteArray bytes = tcp->read(model.readAllowance(WireModel::Network));
        if (!bytes.isEmpty()) {
            serial += model.receive(bytes, WireModel::Network);
            serial += model.advance(0);
        }
        if (tcp->takeEnd()) {
            model.endStream(WireModel::Network);
            serial += model.advance(0);
        }
        sendBack(WireModel::Network, model.take(WireModel::Network));
        // Every answer its bytes asked for is on its way: only then does the client's socket close.
        if (model.takeStreamFinished(WireModel::Network))
            tcp->closeWhenSent();
        for (const QString &line : tcp->takeNotices()) {
            interpreter.note(QStringLiteral("tcp"), line);
            emit notice(line);
        }
    }
    sendBack(WireModel::Serial, serial);
    for (const QString &line : model.takeNotices())
        emit notice(line);
    if (interpreter.paper().rows() != rowsBefore || interpreter.bytesReceived() != bytesBefore
        || model.receivedBytes() != receivedBefore || !serial.isEmpty())
        emit progressed();
}

void LineDriver::sendBack(WireModel::Port port, const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    if (port == WireModel::Network) {
        tcp->write(bytes);
    } else if (endpoint.isOpen()) {
        // A host that does not read fills the line: what does not fit is dropped, and said.
        const qsizetype lost = bytes.size() - endpoint.write(bytes);
        QString line;
        if (lost > 0 && unreadAnswers == 0)
            line = QStringLiteral("the host on the pseudo-terminal does not read its answers: dropping them");
        else if (lost == 0 && unreadAnswers > 0)
            line = QStringLiteral("the host reads again: %1 bytes of answers were dropped").arg(unreadAnswers);
        unreadAnswers = lost > 0 ? unreadAnswers + lost : 0;
        if (!line.isEmpty()) {
            interpreter.note(QStringLiteral("answers"), line);
            emit notice(line);
        }
    }
    // Status bytes keep bit 0 clear and no answer holds 0x11 or 0x13: those are flow control.
    QByteArray answers = bytes;
    answers.removeIf([](char c) { return c == proto::XON || c == proto::XOFF; });
    if (!answers.isEmpty())
        emit answered(answers);
}

} // namespace sim
