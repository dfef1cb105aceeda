#pragma once
// The window playing into a recorder, as the window tests use it: made, then
// shown and active with the open already recorded and cleared, so that a test
// sees only what its own clicks and keys send.

#include "midi/RecordingOutput.h"
#include "ui/FrmMain.h"
#include "ui/KeyTable.h"
#include "ui/PictureBox.h"

#include <QKeyEvent>
#include <QTest>
#include <QWindow>

#include <memory>

struct PianoWindow {
    midi::RecordingOutput out;
    // A pointer, so that a test can destroy the window before the recorder.
    std::unique_ptr<FrmMain> frm = std::make_unique<FrmMain>(out);
    // What the load opened (the recorder's handle, or its failedHandle).
    midi::Handle device = 0;

    // Loads and shows the window and waits until it is active; false if it
    // never became so. The recorder is cleared of the load's open and
    // program change.
    bool show()
    {
        frm->Show();
        frm->activateWindow();
        if (!QTest::qWaitForWindowActive(frm.get()))
            return false;
        if (out.calls.size() > 1)
            device = out.calls[1].handle;
        out.clear();
        return true;
    }

    QWindow* window() const { return frm->windowHandle(); }
    // A point of key k that no other key covers (black keys lie over the
    // upper part of the white ones), in the key's own coordinates.
    QPoint visiblePoint(int k) const
    {
        const PictureBox* key = frm->PicA(k);
        return keys::isBlack(k) ? key->rect().center() : QPoint(key->width() / 2, key->height() - 3);
    }
    // The same in window coordinates.
    QPoint pointOf(int k) const { return frm->PicA(k)->mapTo(frm.get(), visiblePoint(k)); }
    void clickKey(int k) { QTest::mouseClick(frm->PicA(k), Qt::LeftButton, {}, visiblePoint(k)); }
    void press(Qt::Key key) { QTest::keyClick(window(), key); }
    // A key event as the platform delivers it, with its native key code.
    void key(QEvent::Type type, int qtKey, Qt::KeyboardModifiers modifiers, bool autoRepeat = false,
             quint32 xKeycode = 0, const QString& text = {})
    {
        QKeyEvent event(type, qtKey, modifiers, xKeycode, 0, 0, text, autoRepeat);
        QCoreApplication::sendEvent(window(), &event);
    }
};
