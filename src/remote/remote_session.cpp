#include "remote/remote_session.h"

#include <exception>

namespace ostra {

RemoteSession::RemoteSession(RemoteInstrument& instrument,
                             std::function<void(std::string_view)> send)
    : instrument_(instrument),
      send_(std::move(send)),
      complete_(instrument.on_operation_complete, [this] {
        if (waiting_) on_resume_wanted.Emit();
      }) {}

RemoteSession::~RemoteSession() = default;

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
  return true;
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
  if (replies_.empty()) return;
  std::string line;
  for (size_t i = 0; i < replies_.size(); ++i) {
    if (i > 0) line += ';';
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
