#pragma once

#include <QWidget>

#include "capture/GainSearch.h"

class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace qx {
class TuningAssistant;
}

namespace qx::ui {

// The tuning assistant's panel inside a loop tuning window: the target (largest overshoot,
// most captures), Start and Stop, a line on what the search does, the captures tried
// with their gains, metrics and verdicts (the best in bold), and at the end Apply or
// Discard. It only shows the assistant and reports the clicks; the window acts on them.
class TunePanel : public QWidget {
    Q_OBJECT

  public:
    explicit TunePanel(QWidget* parent);

    SearchTarget target() const;
    // Shows where `assistant` stands; Start needs `canStart` too (a window that captures).
    void showAssistant(const TuningAssistant& assistant, bool canStart);

    QPushButton* startButton() const { return start_; }
    QPushButton* stopButton() const { return stop_; }
    QPushButton* applyButton() const { return apply_; }
    QPushButton* discardButton() const { return discard_; }
    QTableWidget* table() const { return table_; }
    QLabel* statusLine() const { return status_; }

  signals:
    void startClicked();
    void stopClicked();
    void applyClicked();
    void discardClicked();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    // Return in a target field takes its value; it must not reach the window's OK.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void showStatus();

    QDoubleSpinBox* overshoot_ = nullptr;
    QSpinBox* captures_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* apply_ = nullptr;
    QPushButton* discard_ = nullptr;
    QLabel* status_ = nullptr;
    QTableWidget* table_ = nullptr;
    QString statusText_;
};

}  // namespace qx::ui
