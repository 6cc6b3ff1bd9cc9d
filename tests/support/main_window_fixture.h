// The program's two windows as start-up builds them, in a throwaway configuration folder,
// with message boxes answered and recorded instead of shown.
#pragma once

#include <QApplication>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "config_sandbox.h"
#include "main_window.h"
#include "port_setup_dialog.h"

namespace varnix::testing {

class MainWindowFixture : public ::testing::Test {
  protected:
    MainWindowFixture() {
        form1 = std::make_unique<TForm1>();
        form2 = std::make_unique<TForm2>(form1.get(), form1->Report(), form1->Session());
        form1->SetPortDialog(form2.get());
        form1->Boxes().SetAnswerer([this](const MessageRequest& request) {
            messages.push_back(request);
            return answers.empty() ? MessageResult::Ok : Next();
        });
        form1->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form1.get()));
        form1->activateWindow();
        // On a real X server the keyboard focus arrives a moment later.
        EXPECT_TRUE(QTest::qWaitForWindowActive(form1.get()));
    }
    ~MainWindowFixture() override {
        form2.reset();
        form1.reset();
    }
    MessageResult Next() {
        const MessageResult answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
    // The window's button with this caption.
    QPushButton* Button(const QString& caption) const {
        for (QPushButton* button : form1->findChildren<QPushButton*>()) {
            if (button->text() == caption) {
                return button;
            }
        }
        ADD_FAILURE() << "no button " << caption.toStdString();
        return nullptr;
    }
    void Click(const QString& caption) { QTest::mouseClick(Button(caption), Qt::LeftButton); }

  public:
    // The window's buttons, pressed as a technician presses them.
    void LoadFromFile() { Click("Load From File..."); }
    void WriteToFile() { Click("Write To File..."); }
    void LoadFromDevice() { Click("Load From Device"); }
    void WriteToDevice() { Click("Write To Device"); }
    void ClearAll() { Click("Crear All"); }
    void ConfigurePort() { Click("Configure Port..."); }
    void GetPassword() { Click("GET"); }
    void SetPassword() { Click("SET"); }

  protected:
    std::string Cell(int row) const { return form1->StringGrid1->Cell(1, row).toStdString(); }
    bool WaitForStatus(const std::string& text, int ms) {
        return QTest::qWaitFor([&] { return form1->StatusText() == text; }, ms);
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& m : messages) {
            texts.push_back(m.text);
        }
        return texts;
    }

    ConfigSandbox sandbox;
    std::unique_ptr<TForm1> form1;
    std::unique_ptr<TForm2> form2;
    std::vector<MessageRequest> messages;
    std::vector<MessageResult> answers;
};

}  // namespace varnix::testing
