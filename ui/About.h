// The About box: the program's name, version and its maker's credits, shown modally.
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TAboutBox;
}

class TAboutBox : public QDialog {
    Q_OBJECT

  public:
    explicit TAboutBox(QWidget* owner = nullptr);
    ~TAboutBox() override;
    [[nodiscard]] Ui::TAboutBox& form() { return *ui; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    std::unique_ptr<Ui::TAboutBox> ui;
};

extern TAboutBox* AboutBox;
