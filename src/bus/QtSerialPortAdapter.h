#pragma once

#include "bus/LineSettings.h"
#include "bus/SerialPort.h"

#include <QObject>
#include <QSerialPort>
#include <functional>

namespace qvr {

class SettingsStore;

// The serial port on QSerialPort: a real port, a USB adapter or a pseudo-terminal.
//
// Line settings are applied before the port opens. On a real serial device every setting
// must take: the adapter reads the line back after opening and fails the open when it
// differs. A pseudo-terminal is not a UART (the kernel keeps it 8N1 and refuses RTS and
// DTR), so there those refusals are accepted and only reported by the setters' results.
class QtSerialPortAdapter : public QObject, public SerialPort
{
    Q_OBJECT
public:
    // Maps a port number COMn to the device to open.
    using Resolver = std::function<QString(int)>;

    // COMn resolves through section `Schnittstelle` of `settings` (may be null).
    explicit QtSerialPortAdapter(const SettingsStore *settings = nullptr,
                                 QObject *parent = nullptr);
    ~QtSerialPortAdapter() override;

    void setResolver(Resolver resolver) { m_resolver = std::move(resolver); }

    void setCommPort(int number) override;
    int commPort() const override { return m_commPort; }
    void setDevice(const QString &device) override;
    QString device() const override { return m_device; }

    bool setSettings(const QString &settings) override;
    QString settings() const override { return m_settings.toString(); }

    bool open() override;
    bool close() override;
    bool isOpen() const override { return m_port.isOpen(); }

    bool hasError() const override { return !m_error.isEmpty(); }
    QString errorString() const override { return m_error; }
    void clearError() override;

    void setBufferSizes(int inSize, int outSize) override;
    void setHandshaking(bool on) override;

    int bytesAvailable() const override;
    int readChar() override;
    void discardInput() override;

    int bytesToWrite() const override;
    bool write(const QByteArray &data) override;

    bool setRts(bool on) override;
    bool setDtr(bool on) override;
    bool rts() const override { return m_rts; }
    bool dtr() const override { return m_dtr; }

    void setReceiveThreshold(int threshold) override;
    int receiveThreshold() const override { return m_rThreshold; }
    void setSendThreshold(int threshold) override { m_sThreshold = threshold; }

    // True when the open device is a pseudo-terminal.
    bool isPseudoTerminal() const { return m_pseudoTerminal; }
    static bool isPseudoTerminalPath(const QString &device);

private:
    void applySettings();
    bool verifyLine(QString *why) const;
    void onReadyRead();
    void onBytesWritten();
    void onError(QSerialPort::SerialPortError error);
    void scheduleReceiveNotify();

    QSerialPort m_port;
    Resolver m_resolver;
    int m_commPort = 1;
    QString m_device;
    LineSettings m_settings;
    QString m_error;
    int m_inSize = 1024;
    bool m_handshaking = false;
    bool m_rts = false;
    bool m_dtr = false;
    int m_rThreshold = 0;
    int m_sThreshold = 0;
    bool m_pseudoTerminal = false;
    bool m_notifyPending = false;
    bool m_errorPending = false;
};

} // namespace qvr
