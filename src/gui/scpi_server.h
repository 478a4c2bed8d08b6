// The remote interface's socket: a raw TCP server on the window's thread that
// hands one client's bytes to its RemoteSession and sends the replies back.
// One controlling client at a time; a second connection is refused with a log
// line. While a client is connected the status bar says "Remote" and from
// where.
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

class QLabel;
class QTcpServer;
class QTcpSocket;

namespace ostra {

class AppLog;
class RemoteInstrument;
class RemoteSession;

class ScpiServer : public QObject {
  Q_OBJECT

 public:
  ScpiServer(RemoteInstrument& instrument, AppLog& log, QLabel* status_label,
             QObject* parent = nullptr);
  ~ScpiServer() override;

  // Starts listening; false (after a log line) when the address or port
  // cannot be taken.
  bool Listen(const QHostAddress& address, quint16 port);
  quint16 Port() const;

 protected:
  bool event(QEvent* event) override;

 private:
  void OnNewConnection();
  void OnReadyRead();
  void OnDisconnected();
  void CloseClient();
  void Log(const QString& line);

  RemoteInstrument& instrument_;
  AppLog& log_;
  QPointer<QLabel> status_label_;
  QTcpServer* server_;
  QPointer<QTcpSocket> client_;
  QString peer_;
  std::unique_ptr<RemoteSession> session_;
};

}  // namespace ostra
