#include "remote/remote_session.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace ostra {

RemoteSession::RemoteSession(RemoteInstrument& instrument,
                             std::function<void(std::string_view)> send)
    : instrument_(instrument),
      send_(std::move(send)),
      complete_(instrument.on_operation_complete, [this] {
        if (waiting_) on_resume_wanted.Emit();
      }) {}

RemoteSession::~RemoteSession() {
  try {
    if (waiting_) InterruptHeldQuery("the connection closed before the reply");
    if (!partial_.empty()) {
      const std::vector<ParsedCommand> rest = ParseProgramMessage(partial_);
      if (std::any_of(rest.begin(), rest.end(), [](const ParsedCommand& c) { return c.query; })) {
        instrument_.Status().Push(scpi::kQueryUnterminated,
                                  "the connection closed before the query's line end");
      }
    }
  } catch (const std::exception&) {
    // The status cannot take the entry: the session ends without it.
  }
}

bool RemoteSession::Receive(std::string_view bytes) {
  size_t start = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\n') continue;
    partial_.append(bytes.substr(start, i - start));
    if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
    messages_.push_back(std::move(partial_));
    partial_.clear();
    start = i + 1;
  }
  partial_.append(bytes.substr(start));
  size_t held = partial_.size();
  for (const std::string& m : messages_) held += m.size();
  if (partial_.size() > kMaxLineBytes || held > 16 * kMaxLineBytes) {
    partial_.clear();
    messages_.clear();
    instrument_.Status().Push(scpi::kCommandError, "line too long");
    return false;
  }
  Run();
  if (waiting_ && !messages_.empty()) {
    InterruptHeldQuery("a new message came before the reply");
  }
  return true;
}

bool RemoteSession::QueryOutstanding() const {
  if (!replies_.empty()) return true;
  return std::any_of(current_.begin() + static_cast<std::ptrdiff_t>(next_), current_.end(),
                     [](const ParsedCommand& c) { return c.query; });
}

void RemoteSession::InterruptHeldQuery(const char* why) {
  if (interrupted_ || !QueryOutstanding()) return;
  interrupted_ = true;
  replies_.clear();
  instrument_.Status().Push(scpi::kQueryInterrupted, why);
}

void RemoteSession::Resume() {
  if (!waiting_ || instrument_.OperationPending()) return;
  waiting_ = false;
  Run();
}

void RemoteSession::Run() {
  // A reply sent from inside a command may process window messages, which
  // may bring more input: that input waits for the loop below.
  if (running_ || waiting_) return;
  running_ = true;
  for (;;) {
    while (next_ < current_.size()) {
      if (!RunCommand(current_[next_])) {
        waiting_ = true;
        running_ = false;
        return;
      }
      ++next_;
    }
    if (!current_.empty()) FinishMessage();
    if (messages_.empty()) break;
    current_ = ParseProgramMessage(messages_.front());
    messages_.pop_front();
    next_ = 0;
  }
  running_ = false;
}

void RemoteSession::FinishMessage() {
  current_.clear();
  next_ = 0;
  const bool interrupted = std::exchange(interrupted_, false);
  if (replies_.empty() || interrupted) {
    replies_.clear();
    return;
  }
  // The first reply (often the only one, a data block) is not copied.
  std::string line = std::move(replies_.front());
  for (size_t i = 1; i < replies_.size(); ++i) {
    line += ';';
    line += replies_[i];
  }
  line += '\n';
  replies_.clear();
  send_(line);
}

bool RemoteSession::RunCommand(const ParsedCommand& command) {
  ScpiStatus& status = instrument_.Status();
  if (command.error != 0) {
    status.Push(command.error);
    return true;
  }
  const CommandTable::Found found = table_.Find(command);
  if (found.row == nullptr) {
    status.Push(found.error);
    return true;
  }
  if (found.row->waits && instrument_.OperationPending()) return false;
  // An interrupted message answers nothing (a SYST:ERR? in it takes no error).
  if (interrupted_ && command.query) return true;
  const int count = static_cast<int>(command.params.size());
  const int most = command.query ? 0 : found.row->max_params;
  if (count > most) {
    status.Push(scpi::kParameterNotAllowed);
    return true;
  }
  if (!command.query && count < found.row->min_params) {
    status.Push(scpi::kMissingParameter);
    return true;
  }
  try {
    const CommandHandler handler = command.query ? found.row->query : found.row->set;
    std::string reply = handler(instrument_, CommandCall{command.params, found.index});
    if (command.query) replies_.push_back(std::move(reply));
  } catch (const ScpiError& e) {
    status.Push(e.Code(), e.what());
    // Data that does not exist yet is answered at once, with an empty
    // reply, so the client does not wait for its time-out.
    if (command.query && e.Code() == scpi::kDataStale) replies_.emplace_back();
  } catch (const std::exception& e) {
    status.Push(scpi::kExecutionError, e.what());
  }
  return true;
}

}  // namespace ostra
