// A Dialogs for tests: records every message, input box and file dialog that
// a window shows, and answers them from queues the test fills beforehand. An
// unexpected dialog (its queue empty) is answered with Cancel / nothing and
// recorded, so a test sees it in `messages` and fails on its own assertions.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <optional>
#include <vector>

#include "ui/dialogs.hpp"

// GCC 12 at -O3 warns, wrongly, that the std::optional<QString> answers below
// may be used uninitialised.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace vindrel::ui::testing {

class ScriptedDialogs final : public Dialogs {
 public:
  struct Message {
    MessageKind kind;
    QString text;
    MessageButtons buttons;
  };

  std::deque<MessageAnswer> answers;              // for message boxes
  std::deque<std::optional<QString>> inputs;      // for input boxes
  std::deque<std::optional<QString>> file_names;  // for file dialogs

  std::vector<Message> messages;
  std::vector<FileDialogSpec> file_dialogs;
  QStringList input_captions;
  int beeps = 0;

  MessageAnswer message(QWidget*, MessageKind kind, const QString& text,
                        MessageButtons buttons) override {
    messages.push_back({kind, text, buttons});
    if (answers.empty()) {
      return buttons == MessageButtons::kOk ? MessageAnswer::kOk
             : buttons == MessageButtons::kYesNo ? MessageAnswer::kNo
                                                  : MessageAnswer::kCancel;
    }
    const MessageAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }

  std::optional<QString> input(QWidget*, const QString& caption, const QString&,
                               const QString&) override {
    input_captions << caption;
    if (inputs.empty()) return std::nullopt;
    auto answer = inputs.front();
    inputs.pop_front();
    return answer;
  }

  std::optional<QString> file(QWidget*, const FileDialogSpec& spec, const QString&) override {
    file_dialogs.push_back(spec);
    if (file_names.empty()) return std::nullopt;
    auto answer = file_names.front();
    file_names.pop_front();
    return answer;
  }

  void beep() override { ++beeps; }

  QStringList texts() const {
    QStringList all;
    for (const Message& m : messages) all << m.text;
    return all;
  }
};

}  // namespace vindrel::ui::testing

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
