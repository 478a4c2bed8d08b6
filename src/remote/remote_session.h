// One client's conversation with the instrument: the bytes it sends are cut
// into program messages at each LF (a CR before it is dropped), each message
// runs command by command, and its replies go back as one line. A command
// that must wait for the pending sweep (*OPC?, *WAI) holds the rest of the
// input until the sweep is done; nothing blocks meanwhile.
//
// A reply held back that way is lost when the client does not wait for it:
// a new message queued behind it (the client gave up waiting, or asks the
// next question first) or the connection closing interrupts the query
// (-410): the held message still runs its commands once the sweep is done,
// but answers nothing, so the next reply the client reads belongs to its
// next query. A connection that closes on a query without its line end
// leaves -420. The server never sees a client read, so these are the only
// forms of the two errors over a socket.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/signal.h"
#include "remote/remote_commands.h"

namespace ostra {

class RemoteSession {
 public:
  // The longest line without an end that a client may send.
  static constexpr size_t kMaxLineBytes = 64 * 1024;

  // `send` gets each reply, LF included.
  RemoteSession(RemoteInstrument& instrument, std::function<void(std::string_view)> send);
  ~RemoteSession();
  RemoteSession(const RemoteSession&) = delete;
  RemoteSession& operator=(const RemoteSession&) = delete;

  // Bytes from the client. False when the input grew past the limit: the
  // error is queued and the connection should be closed.
  bool Receive(std::string_view bytes);
  // Goes on with held input once the pending sweep is done; the shell calls
  // it from its event loop after `on_resume_wanted`.
  void Resume();
  // Emitted (from inside the sweep loop) when held input can go on.
  Signal<> on_resume_wanted;

  bool Waiting() const { return waiting_; }

 private:
  void Run();
  // Runs one command; false when it must wait for the pending sweep.
  bool RunCommand(const ParsedCommand& command);
  void FinishMessage();
  // The held message still owes the client a reply.
  bool QueryOutstanding() const;
  void InterruptHeldQuery(const char* why);

  RemoteInstrument& instrument_;
  std::function<void(std::string_view)> send_;
  CommandTable table_;
  std::string partial_;               // bytes after the last LF
  std::deque<std::string> messages_;  // complete lines not yet run
  std::vector<ParsedCommand> current_;
  size_t next_ = 0;
  std::vector<std::string> replies_;
  bool waiting_ = false;
  bool running_ = false;
  bool interrupted_ = false;  // the held message's replies are dropped
  ScopedConnection complete_;
};

}  // namespace ostra
