#pragma once

#include "commands/Protocol.h"
#include "serial/Settings.h"

#include <QHash>
#include <QImage>
#include <QMainWindow>
#include <QSerialPort>

#include <memory>

QT_BEGIN_NAMESPACE
namespace Ui {
class MainWindow;
}
class QAction;
class QDockWidget;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
QT_END_NAMESPACE

struct Launch;
struct Macro;
class MacroBook;
class MacrosDock;
class Monitor;
class CaptureRecorder;
class CaptureLoader;
class Replayer;
class Identify;
class MonitorDialog;
class SendHistory;
class SerialLink;
class SettingsDialog;
class ExpectedPaperDock;
class ExpectedPrinter;
class TrafficDock;
class TrafficLog;
class TrafficRecorder;
namespace jobs {
struct Job;
}

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Presets the line from the command line and connects at once if it asks to, with the
    // same box and status as pressing Connect.
    void start(const Launch &launch);

private slots:
    // Picture loading.
    void open();
    bool loadFile(const QString &fileName);
    void on_pushButton_Load_released();

    // The serial link; the port itself belongs to SerialLink.
    void openSerialPort();
    void closeSerialPort();
    void handleError(QSerialPort::SerialPortError error);
    void readData();
    void Write(const unsigned char *buf, size_t buflen);

    void about();

    // One operation per controller command; each hands the command's bytes to Write.
    void setComMode(unsigned char ucComSet, unsigned char ucFlowSet);
    void setPrinterHead(unsigned char ucHeadIndex);
    void printerSoftInit();
    void printLF();
    void printCR();
    void printStr(const char *pStr);
    void printAndFeedNDotLine(unsigned char ucDotLineNum);
    void fontTypeSet(unsigned char ucFontType);
    void horizontalAlign(unsigned char align);
    void lineSpacingSet(unsigned char ucDotLineNum);
    void lineSpacingDefaults();
    void horizontalTabSet(unsigned char *pucNBuf, unsigned char ucDataNum);
    void horizontalTab();
    void printAndFeedNFontLine(unsigned char ucFontLineNum);
    void picturePrintH(unsigned char ucType, unsigned short usHSize, unsigned short usVSize, unsigned char *pucDataBuf);
    void setLeftMargin(unsigned char ucDots);
    void setRightMargin(unsigned char ucDots);
    void printerState();
    void absolutePrintPos(unsigned char ucLNum, unsigned char ucHNum);
    void setFontGrayScale(unsigned char ucScale);
    void setDbMode();
    void cancelDbMode();
    void setFontMode(unsigned char ucFont);
    void barcodeHeightSet(unsigned char ucHeight);
    void barcodeWidthSet(unsigned char ucWidth);
    void barcodeTextYesNo(unsigned char ucYesNo);
    void barcodePrint(unsigned char ucBarcodeSys, unsigned char *pucCodeBuf, unsigned char ucCodeLen);
    void clearPrintBuffer();
    void getFirmwareInfo();
    void print_with_font(const char *str, unsigned char font);
    void fullCut();
    void partialCut();
    void setPrinterCallBack(unsigned char ucCallBack);
    void downloadNVBitmap(unsigned char ucLocation, unsigned char ucAlign, unsigned short usHSize,
        unsigned short usVSize, unsigned char *pucDataBuf);
    void printNVBitmap(unsigned char ucBitmapIndex, unsigned char ucMode);
    void setQRSizeVersion(unsigned char ucModuleSizeRange);
    void setQRcodeErrorCorrection(unsigned char ucErrorCorrectionLevel);
    void transferQRcodeData(unsigned short usbufferSize, unsigned char *pucDataBuf);
    void printQRcodeData();
    void enterSleepMode();

    // "General" tab.
    void on_pushButtonFont_released();
    void on_pushButtonAttributes_released();
    void on_pushButtonLanguage_released();
    void on_pushButtonDensity_released();
    void on_pushButtonBitmap_released();
    void on_pushButtonFormatting_released();
    void on_pushButtonTabs_released();
    void on_pushButtonReset_released();
    void on_pushButtonClear_released();
    void on_pushButtonReceipt_released();
    void on_pushButtonVersion_released();
    void on_pushButtonStatus_released();
    void on_pushButtonPowerManagment_released();

    // "Bar Codes" tab.
    void on_pushButtonBarcodeUPCA_released();
    void on_pushButtonBarcodeUPCE_released();
    void on_pushButtonBarcodeEAN13_released();
    void on_pushButtonBarcodeEAN8_released();
    void on_pushButtonBarcodeCODE39_released();
    void on_pushButtonBarcodeITF25_released();
    void on_pushButtonBarcodeCODABAR_released();
    void on_pushButtonBarcodeCODE93_released();
    void on_pushButtonBarcodeCODE128A_released();
    void on_pushButtonYesText_released();
    void on_pushButtonNoText_released();

    // "Bitmaps" tab.
    void on_pushButton_58PrintH_released();
    void on_pushButton_LineFeed_released();

    // "Cutter" tab.
    void on_pushButtonFullCut_released();
    void on_pushButtonPartialCut_released();
    void on_pushButtonReceiptFullCut_released();
    void on_pushButtonReceiptPartialCut_released();

    // "Controller" tab.
    void on_pushButtonFTP628_released();
    void on_pushButtonFTP638_released();
    void on_pushButtonLTP0213_released();
    void on_pushButtonLTP02C1_released();
    void on_pushButton58_384_released();
    void on_pushButton80_576_released();
    void on_pushButtonM23_H69_pressed();
    void on_pushButtonM23_SX_released();
    void on_pushButtonApply_released();

    // The engineer's own bytes, under the console.
    void on_pushButtonSend_released();

private:
    void connectActions();
    // The line's settings dialog, made when first needed: the first window never shows it.
    SettingsDialog *lineSettings();
    void showStatus(const QString &text);
    void showOpen(bool open);
    void showReply(const QString &text);
    // A line of the tool's own among the replies: on a line of its own, so that the next reply
    // starts on the next one.
    void noteLine(const QString &text);
    void showLost(const QString &reason, qint64 done, qint64 total);
    // The connect-first guard: true when the port is open, otherwise tells the user.
    bool connectedOrTell();
    // Every job button: the guard, then the job's console lines and writes.
    void runGuarded(const jobs::Job &job);
    void runJob(const jobs::Job &job);
    void writeBytes(const QByteArray &bytes);
    // The job of the button of that object name, as the form stands now.
    void runButton(const char *button);
    void setImage(const QImage &image);

    // The console's hex view, sending files, saving what was sent, and the progress of long writes.
    void setUpLine();
    void showBytes(qint64 offset, const QByteArray &bytes);
    void reshowReplies();
    void sendFile();
    void checkFileSent();
    void saveSent();
    void showSendStopped(const QString &name, qint64 position, qint64 size, const QString &reason);
    void showProgress();
    void cancelWrite();
    QList<QWidget *> progressWidgets();

    // The Macros dock under a View menu, and the controller's last status answer in words.
    void setUpMacros();
    void runMacro(const Macro &macro);
    void showControllerStatus(quint8 status, proto::StatusKind kind);

    // The Traffic and Expected Paper docks, fed from the line by the recorder, and the optional
    // polling of the controller's status.
    void setUpTraffic();
    // The traffic log's recorder and the expected controller, made for the first line or pane.
    void startTraffic();
    void pollStatus();

    // Serial → Monitor a Host Application…: the tool between a host and the controller.
    void setUpMonitor();
    void startMonitor();
    void stopMonitor();
    void showMonitoring(bool on);

    // Controller → Identify: what is on the line, as a card.
    void setUpIdentify();

    // Serial → Record Capture…: every byte both ways to a pcapng file, as it passes.
    void setUpCapture();
    void showCapturing(bool on);

    // Serial → Replay Capture… and Open Capture…: a recording played down the line, or shown
    // without one.
    void setUpReplay();
    QString askForCapture(const QString &title);
    void connectOpenCapture(); // only while no line is connected
    void openCapture(const QString &path);
    void showReplaying(bool on);
    void showReplayResult(); // the answers not as recorded, once the last may have come

    // The View menu's panes, each made when first shown.
    void setUpPanes();
    void addPane(QDockWidget *dock, Qt::DockWidgetArea area, QAction *action);
    QDockWidget *macrosPane();
    QDockWidget *trafficPane();
    QDockWidget *expectedPane();
    // The tab pages flow and scroll down when the panes leave them less room than they were laid
    // out in; made with the first pane.
    void letTabsScroll();
    // Grows the window for a pane that opened beside the tabs or under them, and shrinks it by as
    // much when the pane closes.
    void makeRoomFor(QDockWidget *dock);
    static constexpr QSize unknownFrame{16, 40}; // a title bar and borders, at the least
    void giveRoomBack(QDockWidget *dock);

    Ui::MainWindow *ui = nullptr;
    QLabel *statusLabel = nullptr;
    SettingsDialog *settingsDialog = nullptr;
    SerialLink *serialLink = nullptr;
    QImage loadedImage;
    QLabel *previewLabel = nullptr;
    bool firstDialog = true;
    SendHistory *sendHistory = nullptr;
    QProgressBar *progressBar = nullptr;
    QLabel *progressLabel = nullptr;
    QPushButton *cancelButton = nullptr;
    QTimer *progressTimer = nullptr;
    MacroBook *macroBook = nullptr;
    MacrosDock *macrosDock = nullptr;
    QLabel *controllerLabel = nullptr;
    TrafficLog *trafficLog = nullptr;
    std::unique_ptr<ExpectedPrinter> expectedPrinter;
    TrafficRecorder *trafficRecorder = nullptr;
    TrafficDock *trafficDock = nullptr;
    ExpectedPaperDock *expectedPaperDock = nullptr;
    QTimer *statusPoll = nullptr;
    Monitor *monitor = nullptr;
    MonitorDialog *monitorDialog = nullptr;
    QAction *monitorAction = nullptr;
    QAction *captureAction = nullptr;
    QAction *replayAction = nullptr, *openCaptureAction = nullptr;
    Replayer *replayer = nullptr;
    CaptureLoader *captureLoader = nullptr;
    QProgressBar *captureProgress = nullptr; // how far Open Capture has read
    QString replayName, openedCapture;
    QString configureTip; // Configure's own tooltip, while it is not greyed
    QString fileSending; // the file Send File is sending, until all of it has left
    qint64 fileSendingBytes = 0;
    QAction *identifyAction = nullptr;
    Identify *identify = nullptr;
    CaptureRecorder *captureRecorder = nullptr;
    QLabel *captureLabel = nullptr;
    QString lastCaptureFolder;
    bool monitoring = false;
    QString lineStatus; // the status bar's text before monitoring began
    QAction *macrosAction = nullptr;
    QAction *trafficAction = nullptr;
    QAction *expectedAction = nullptr;
    QHash<QDockWidget *, QSize> roomGiven; // what the window grew by for each open pane
    QSize designedSize; // what the tabs and the console were laid out in
    QRect placedRoom; // the half of the screen the window was placed on, if it was
    qint32 lineBaud = lineDefaults::baudRate; // of the open line, for the time a write takes
};
