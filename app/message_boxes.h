// Modal message boxes owned by the main window.
#pragma once

#include <functional>
#include <string>

class QWidget;

namespace varnix {

enum class MessageIcon { None, Stop, Question, Information };
enum class MessageButtons { Ok, YesNo };  // Yes is the default of Yes/No
enum class MessageResult { Ok, Yes, No };

// Texts are UTF-8.
struct MessageRequest {
    std::string text;
    std::string title;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
    std::string detail = {};  // informative text under the message
};

class MessageBoxes {
  public:
    // Answers a box instead of showing it; tests use it to answer in advance.
    using Answerer = std::function<MessageResult(const MessageRequest&)>;

    explicit MessageBoxes(QWidget* owner) : owner_(owner) {}

    // Shows the box modally (its loop keeps handling timers and posted events) and
    // returns the button pressed. Closing a Yes/No box by its close box answers No.
    MessageResult Show(const MessageRequest& request);

    void SetAnswerer(Answerer answerer) { answerer_ = std::move(answerer); }

  private:
    QWidget* owner_;
    Answerer answerer_;
};

}  // namespace varnix
