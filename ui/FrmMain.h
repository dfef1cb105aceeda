#pragma once
// The piano's one window and its controller: the event handlers that tie the
// keys, the computer keyboard and the quit button to the MIDI voice.

#include "AutoRef.h"
#include "PictureBox.h"
#include "midi/sMidi.h"

#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <array>
#include <cstdint>

class QPushButton;

class FrmMain : public QWidget {
    Q_OBJECT
public:
    explicit FrmMain(midi::OutputPort& port = midi::platformOutput());
    ~FrmMain() override;

    // Starts reading, on another thread, what building the window needs that
    // the toolkit does not: the system's font configuration. (The icon's
    // pictures cannot be read so: the toolkit's image readers look for their
    // plugins through the application object being made meanwhile.)
    static void preload();

    // Loads the window (Form_Load, while still hidden) and shows it centred.
    void Show();
    // Unloads the window once, however it is asked to go away.
    void Unload();
    bool isLoaded() const { return loaded_; }
    bool isUnloaded() const { return unloaded_; }

    // Event handlers.
    void Form_Load();
    void Form_Unload(std::int16_t& Cancel);
    void Form_KeyDown(std::int16_t& KeyCode, std::int16_t& Shift);
    void PicA_Click(std::int16_t Index);
    void CmdQuit_Click();

    // Controls.
    PictureBox* PicA(int index) const;
    PictureBox* Picture1() const { return picture1_; }
    QPushButton* CmdQuit() const { return cmdQuit_; }

signals:
    // The window has begun to unload.
    void unloading();
    // The program is to end now (the quit button's End).
    void endRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void createControls();
    void createKeys();
    void previewKeyPress(const class QKeyEvent& event);

    midi::OutputPort& port_;
    AutoRef<sMidi> midi;

    PictureBox* picture1_ = nullptr;
    QPushButton* cmdQuit_ = nullptr;
    std::array<QPointer<PictureBox>, 36> picA_{};
    QPixmap banner_;
    bool loaded_ = false;
    bool unloaded_ = false;
};
