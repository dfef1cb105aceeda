#include "FrmMain.h"

#include "resources/Assets.h"
#include "KeyFaces.h"
#include "KeyFont.h"
#include "KeyTable.h"
#include "KeyTranslate.h"
#include "KeyboardMap.h"
#include "Layout.h"
#include "RuntimeError.h"
#include "WindowSystem.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

#include <limits>
#include <stdexcept>

namespace {

constexpr int kVirtualKeyEscape = 27;

bool isInputEvent(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
        return true;
    default:
        return false;
    }
}

}  // namespace

FrmMain::FrmMain(midi::OutputPort& port)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      port_(port),
      midi([this] { return std::make_unique<sMidi>(port_); })
{
    setWindowTitle(QStringLiteral("Plinkora"));
    setWindowIcon(assets::programIcon());
    setFixedSize(twips::toPixels(layout::kWindow).size());
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, background.color(QPalette::Button));
    setPalette(background);

    createControls();

    // Key preview: the window sees every key press before the focused control.
    create();
    windowHandle()->installEventFilter(this);
}

void FrmMain::preload()
{
    keyfont::preload();
}

FrmMain::~FrmMain()
{
    // The program unloads the window itself before destroying it, where an
    // error is reported; here it is the last resort, and a destructor must
    // not throw.
    try {
        if (loaded_)
            Unload();
    } catch (...) {
    }
}

void FrmMain::createControls()
{
    // Created back to front: a later sibling lies in front of an earlier one.
    // The banner is not a control of its own: it is painted on the window.
    cmdQuit_ = new QPushButton(QStringLiteral("QUIT"), this);
    cmdQuit_->setGeometry(twips::toPixels(layout::kQuitButton));
    // A focused button answers Enter as well as Space, as the cancel button does.
    cmdQuit_->setAutoDefault(true);
    connect(cmdQuit_, &QPushButton::clicked, this, [this] { runGuarded([this] { CmdQuit_Click(); }); });

    picture1_ = new PictureBox(this);
    picture1_->setGeometry(twips::toPixels(layout::kPanel));
    picture1_->setBackColor(Qt::black);
    picture1_->setAutoRedraw(true);
    createKeys();

    setTabOrder(cmdQuit_, picture1_);
    cmdQuit_->setFocus(Qt::OtherFocusReason);
}

void FrmMain::createKeys()
{
    const QFont keyFont = keyfont::font();
    for (auto it = layout::kFrontToBack.rbegin(); it != layout::kFrontToBack.rend(); ++it) {
        const int k = *it;
        auto* key = new PictureBox(picture1_, k);
        key->setGeometry(twips::toPixels(layout::keyRect(k)));
        key->setFont(keyFont);
        key->setBackColor(keys::isBlack(k) ? QColor(Qt::black) : palette().color(QPalette::Button));
        key->setForeColor(keys::isBlack(k) ? QColor(Qt::white) : palette().color(QPalette::ButtonText));
        key->setAutoRedraw(true);
        connect(key, &PictureBox::clicked, this,
                [this](int index) { runGuarded([&] { PicA_Click(static_cast<std::int16_t>(index)); }); });
        picA_[static_cast<std::size_t>(k)] = key;
    }
}

PictureBox* FrmMain::PicA(int index) const
{
    PictureBox* key = keys::isValid(index) ? picA_[static_cast<std::size_t>(index)].data() : nullptr;
    if (!key)
        throw std::out_of_range("Control array element " + std::to_string(index) + " doesn't exist");
    return key;
}

void FrmMain::Show()
{
    if (!loaded_) {
        Form_Load();
        loaded_ = true;
    }
    if (QScreen* target = QGuiApplication::primaryScreen()) {
        const QRect area = target->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    show();
    // Without a window manager nothing gives the window the keyboard, and
    // the first key press would do nothing: take it. Elsewhere this is a
    // request that the window manager or compositor grants or declines.
    activateWindow();
}

void FrmMain::Unload()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    emit unloading();
    std::int16_t Cancel = 0;
    Form_Unload(Cancel);
    hide();
}

void FrmMain::Form_Load()
{
    keyfaces::drawAll([this](int k) -> PictureBox& { return *PicA(k); });
    midi->MidOpen();  // the status is not looked at: without a device the piano plays silently
}

void FrmMain::Form_Unload(std::int16_t& Cancel)
{
    (void)Cancel;  // never set: unloading always proceeds
    midi->MidStop();
    midi->MidClose();
    midi.reset();
}

void FrmMain::PicA_Click(std::int16_t Index)
{
    if (Index > std::numeric_limits<std::int16_t>::max() - keys::kFirstNote)
        throw std::overflow_error("Overflow");
    const auto note = static_cast<std::int16_t>(Index + keys::kFirstNote);
    midi->outNum(note);
}

void FrmMain::Form_KeyDown(std::int16_t& KeyCode, std::int16_t& Shift)
{
    (void)Shift;  // Shift, Ctrl and Alt change nothing
    const keymap::Action action = keymap::actionFor(KeyCode);
    switch (action.kind) {
    case keymap::Kind::PlayKey:
        PicA_Click(action.value);
        break;
    case keymap::Kind::SetProgram:
        midi->sType(action.value);
        break;
    case keymap::Kind::None:
        break;
    }
}

void FrmMain::CmdQuit_Click()
{
    Unload();
    emit endRequested();
}

void FrmMain::previewKeyPress(const QKeyEvent& event)
{
    std::int16_t keyCode = keytranslate::virtualKey(event);
    std::int16_t shift = keytranslate::shiftState(event.modifiers());
    Form_KeyDown(keyCode, shift);
    // Esc clicks the cancel button, whatever holds the focus.
    if (keyCode == kVirtualKeyEscape && !unloaded_)
        cmdQuit_->click();
}

bool FrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == windowHandle()) {
        // After unloading no click or key reaches the handlers any more.
        if (unloaded_ && isInputEvent(event->type()))
            return true;
        if (event->type() == QEvent::KeyPress && isActiveWindow())
            runGuarded([&] { previewKeyPress(*static_cast<QKeyEvent*>(event)); });
    }
    return QWidget::eventFilter(watched, event);
}

void FrmMain::closeEvent(QCloseEvent* event)
{
    runGuarded([this] { Unload(); });
    event->accept();
}

bool FrmMain::nativeEvent(const QByteArray& eventType, void* message, qintptr* result)
{
    // Gone as surely as when the desktop closes it: unload and end the same
    // way, once Qt is done with the event (closing destroys what delivers it).
    // internalWinId(), not winId(): the window system's messages arrive while
    // the window is being created too, and winId() would create it again
    // inside its own creation (Qt on Windows crashes on that).
    if (windowsystem::destroysWindow(eventType, message, internalWinId()))
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    return QWidget::nativeEvent(eventType, message, result);
}

void FrmMain::paintEvent(QPaintEvent*)
{
    // The banner is painted on the window itself, so every control lies in front of it.
    const qreal ratio = devicePixelRatioF() > 1.0 ? 2.0 : 1.0;
    if (banner_.isNull() || banner_.devicePixelRatio() != ratio)
        banner_ = assets::banner(ratio);
    QPainter painter(this);
    // At fractional scales (150 %) the 2x picture is scaled down: smoothly.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(twips::toPixels(layout::kBanner).topLeft(), banner_);
}
