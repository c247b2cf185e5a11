#pragma once

#include <QImage>
#include <QString>
#include <functional>
#include <vector>

class QWidget;

namespace qx::ui {

class CQuendrixApp;
class GuiContext;

// What the pictures of the tool's windows are made on: the started application with its
// main window, and the simulated drive behind COM1.
class PictureStage {
  public:
    PictureStage(CQuendrixApp& app, GuiContext& context);

    CQuendrixApp& app() { return app_; }
    GuiContext& context() { return context_; }
    QWidget* mainWindow();
    // Picks COM1 as the menu does, its boxes swallowed. True when a drive was accepted.
    bool connectDrive();

  private:
    CQuendrixApp& app_;
    GuiContext& context_;
};

// One picture: a file name (without ".png") and what makes its window, in a typical
// state and not yet shown. A dialog is returned after ModalDialog::prepare(). The main
// window is returned as itself; any other widget becomes the caller's.
struct Picture {
    QString name;
    std::function<QWidget*(PictureStage&)> make;
};

// Every window of the tool, in the order they are rendered. Each dialog adds one line.
std::vector<Picture> AllPictures();

// Shows `window` offscreen and renders it with a plain caption bar carrying its title.
QImage RenderWindow(QWidget* window);

}  // namespace qx::ui
