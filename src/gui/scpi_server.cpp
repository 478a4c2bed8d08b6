#include "gui/scpi_server.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include "base/app_log.h"
#include "remote/remote_session.h"

namespace ostra {

namespace {

QString PeerOf(const QTcpSocket& socket) {
  QHostAddress address = socket.peerAddress();
  bool ipv4 = false;
  const quint32 v4 = address.toIPv4Address(&ipv4);
  if (ipv4) address = QHostAddress(v4);
  return address.toString() + ":" + QString::number(socket.peerPort());
}

QEvent::Type ResumeEventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

}  // namespace

ScpiServer::ScpiServer(RemoteInstrument& instrument, AppLog& log, QLabel* status_label,
                       QObject* parent)
    : QObject(parent),
      instrument_(instrument),
      log_(log),
      status_label_(status_label),
      server_(new QTcpServer(this)) {
  connect(server_, &QTcpServer::newConnection, this, &ScpiServer::OnNewConnection);
  if (status_label_) status_label_->hide();
}

ScpiServer::~ScpiServer() {
  session_.reset();
  if (client_) client_->abort();
}

bool ScpiServer::Listen(const QHostAddress& address, quint16 port) {
  if (!server_->listen(address, port)) {
    Log("Remote control could not listen on " + address.toString() + ":" + QString::number(port) +
        ": " + server_->errorString());
    return false;
  }
  Log("Remote control (SCPI) listening on " + address.toString() + ":" +
      QString::number(server_->serverPort()));
  return true;
}

quint16 ScpiServer::Port() const { return server_->serverPort(); }

bool ScpiServer::event(QEvent* event) {
  if (event->type() != ResumeEventType()) return QObject::event(event);
  if (session_) session_->Resume();
  return true;
}

void ScpiServer::Log(const QString& line) {
  try {
    log_.WriteLog(line.toStdString());
  } catch (const std::exception&) {
    // The log cannot be written: the remote interface goes on without it.
  }
}

void ScpiServer::OnNewConnection() {
  while (QTcpSocket* socket = server_->nextPendingConnection()) {
    if (client_) {
      Log("Remote control: connection from " + PeerOf(*socket) + " refused; " + peer_ +
          " is in control");
      socket->abort();
      socket->deleteLater();
      continue;
    }
    client_ = socket;
    peer_ = PeerOf(*socket);
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    session_ = std::make_unique<RemoteSession>(instrument_, [this](std::string_view reply) {
      if (!client_) return;
      client_->write(reply.data(), static_cast<qint64>(reply.size()));
      // Out now, not when the event loop next serves the socket (after the
      // window's drawing): the client is waiting for this line.
      client_->flush();
    });
    // Held input goes on from the event loop, ahead of the window's own
    // work queued by the same sweep (the chart's drawing): the client's
    // reply does not wait for the screen.
    session_->on_resume_wanted.Connect([this] {
      QCoreApplication::postEvent(this, new QEvent(ResumeEventType()), Qt::HighEventPriority);
    });
    connect(socket, &QTcpSocket::readyRead, this, &ScpiServer::OnReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, &ScpiServer::OnDisconnected);
    Log("Remote control: client " + peer_ + " connected");
    if (status_label_) {
      status_label_->setText("Remote: " + peer_);
      status_label_->show();
    }
  }
}

void ScpiServer::OnReadyRead() {
  QTcpSocket* socket = qobject_cast<QTcpSocket*>(sender());
  if (socket == nullptr || socket != client_ || !session_) return;
  // Commands run one read at a time: a command that processes window
  // messages cannot re-enter this one.
  const QByteArray bytes = socket->readAll();
  if (!session_->Receive(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())))) {
    Log("Remote control: a line from " + peer_ + " exceeds 64 KiB without an end; closing");
    CloseClient();
  }
}

void ScpiServer::OnDisconnected() {
  QTcpSocket* socket = qobject_cast<QTcpSocket*>(sender());
  if (socket == nullptr || socket != client_) return;
  // Closed from the event loop: the session may be running a command.
  QTimer::singleShot(0, this, [this, socket] {
    if (socket != client_) return;
    Log("Remote control: client " + peer_ + " disconnected");
    CloseClient();
  });
}

void ScpiServer::CloseClient() {
  session_.reset();
  if (client_) {
    QTcpSocket* socket = client_;
    client_ = nullptr;
    socket->disconnect(this);
    socket->close();
    socket->deleteLater();
  }
  peer_.clear();
  if (status_label_) status_label_->hide();
}

}  // namespace ostra
