#include "ui/qt/varnik_window.h"

#include <initializer_list>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCloseEvent>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QMoveEvent>
#include <QPushButton>
#include <QRect>
#include <QScreen>
#include <QStringView>
#include <QStyle>
#include <QTimer>
#include <QValidator>
#include <QWindow>

#include "ui/qt/lone_box.h"
#include "ui/qt/twips.h"

namespace varnik {
namespace {

// The DPI of a screen that does not say its own.
constexpr double kDefaultDpi = 96;

// The form as drawn, in twips: the client area and each control's place in
// it (left, top, width, height).
struct TwipsRect {
  Twips left, top, width, height;
};

constexpr Twips kClientWidth = 6645;
constexpr Twips kClientHeight = 1050;
constexpr std::array<TwipsRect, 2> kTxtLabelRect{{{240, 120, 2505, 285}, {240, 600, 2505, 285}}};
constexpr std::array<TwipsRect, 2> kCmdAvviaRect{{{2880, 120, 2400, 330}, {2880, 600, 2400, 330}}};
constexpr TwipsRect kCmdAnnullaRect{5640, 360, 735, 330};

// The title and texts the form was drawn with; start-up replaces them.
constexpr QStringView kDesignTitle = u"---";
constexpr QStringView kDesignText = u"XZZZZZZZZZZZZZZZZZZZZX";
// No caption marks an access key.
constexpr QStringView kCmdAvviaCaption = u"Metti questo dato su Name";
constexpr QStringView kCmdAnnullaCaption = u"Esci";
// The box about an object that keeps silent.
constexpr QStringView kKeepWaitingCaption = u"Attendi ancora";
constexpr QStringView kStopWaitingCaption = u"Interrompi";
constexpr std::chrono::milliseconds kAnswerPollInterval{100};

// What a screen reader says for each control. The two apply buttons share one
// caption and the text boxes have no label, so each name says which line the
// control belongs to. Nothing here is shown on screen.
constexpr std::array<QStringView, 2> kTxtLabelAccessibleName{u"Prima riga", u"Seconda riga"};
constexpr std::array<QStringView, 2> kCmdAvviaAccessibleName{u"Metti la prima riga su Name",
                                                             u"Metti la seconda riga su Name"};
constexpr QStringView kCmdAnnullaAccessibleName = u"Esci";
constexpr QStringView kWindowAccessibleDescription =
    u"Due righe con un nome ciascuna: il pulsante accanto a una riga la mette su Name";

// Screen readers announce the form as the application's window, with its
// title, as they do other applications' main windows; Qt would present a bare
// widget as a filler.
QAccessibleInterface* AccessibleForm(const QString& class_name, QObject* object) {
  if (class_name != QLatin1String(VarnikWindow::staticMetaObject.className())) return nullptr;
  return new QAccessibleWidget(qobject_cast<QWidget*>(object), QAccessible::Window);
}

QRect ToPixels(const TwipsRect& rect, double dpi) {
  return {PixelsFromTwips(rect.left, dpi), PixelsFromTwips(rect.top, dpi),
          PixelsFromTwips(rect.width, dpi), PixelsFromTwips(rect.height, dpi)};
}

QRect PrimaryScreenGeometry() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->geometry() : QRect();
}

// The captions were drawn for a narrower system font than most desktops use.
// Rather than clip the apply buttons' caption, the form takes the desktop's
// font for buttons made smaller, a step at a time, until the caption fits
// inside the button's margins, measured at the button's DPI; all five
// controls share it.
QFont FormFont(const QPushButton& button) {
  const int margin = button.style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, &button);
  const qreal room = button.width() - 2 * margin;
  QFont font = QApplication::font(&button);
  const auto advance = [&] {
    return QFontMetricsF(font, &button).horizontalAdvance(button.text());
  };
  // A font is sized either in points or in pixels; shrink whichever it uses.
  const bool in_points = font.pointSizeF() > 0;
  for (int step = 0; step < 40 && advance() > room; ++step) {
    if (in_points && font.pointSizeF() > 6.5) {
      font.setPointSizeF(font.pointSizeF() - 0.5);
    } else if (!in_points && font.pixelSize() > 8) {
      font.setPixelSize(font.pixelSize() - 1);
    } else {
      break;  // small enough: better clipped than unreadable
    }
  }
  return font;
}

// A push button that is never the window's default button, so Enter in a
// text box presses nothing; Enter or Space presses the button that has the
// focus, as on Windows.
QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        QStringView accessible_name) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setAccessibleName(accessible_name.toString());
  button->setAutoDefault(true);
  button->setDefault(false);
  return button;
}

// A single-line box keeps only the first line of a text pasted or dropped
// into it: of what an edit inserts, which ends at the cursor, everything from
// its first line break on is dropped.
class FirstLineOfInsertion final : public QValidator {
 public:
  explicit FirstLineOfInsertion(QLineEdit* entry) : QValidator(entry) {
    connect(entry, &QLineEdit::textChanged, this, [this](const QString& text) { before_ = text; });
  }

  State validate(QString& input, int& cursor) const override {
    // The insertion starts where the text stops matching what it was.
    qsizetype start = 0;
    while (start < cursor && start < before_.size() && input[start] == before_[start]) ++start;
    for (qsizetype i = start; i < cursor; ++i) {
      if (input[i] == u'\r' || input[i] == u'\n') {
        input.remove(i, cursor - i);
        cursor = static_cast<int>(i);
        break;
      }
    }
    return Acceptable;
  }

 private:
  QString before_;
};

QLineEdit* MakeEntry(QWidget* parent, const char* name, QStringView accessible_name) {
  auto* entry = new QLineEdit(parent);
  entry->setObjectName(QString::fromLatin1(name));
  entry->setAccessibleName(accessible_name.toString());
  entry->setValidator(new FirstLineOfInsertion(entry));
  entry->setMaxLength(VarnikWindow::kMaxLength);
  entry->setText(kDesignText.toString());
  return entry;
}

}  // namespace

VarnikWindow::VarnikWindow(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Varnik"));
  static const bool accessible_form = (QAccessible::installFactory(&AccessibleForm), true);
  Q_UNUSED(accessible_form);
  // To see the application told to quit, which ends every event loop,
  // the wait box's included.
  if (qApp != nullptr) qApp->installEventFilter(this);
  // Minimise and close, no maximise; the size is fixed.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setWindowTitle(kDesignTitle.toString());
  setAccessibleDescription(kWindowAccessibleDescription.toString());

  const QString avvia_caption = kCmdAvviaCaption.toString();
  // Created in tab order, which setTabOrder below states once more.
  txt_label_[0] = MakeEntry(this, "TxtLabel0", kTxtLabelAccessibleName[0]);
  cmd_avvia_[0] = MakeButton(this, "CmdAvvia0", avvia_caption, kCmdAvviaAccessibleName[0]);
  cmd_annulla_ =
      MakeButton(this, "CmdAnnulla", kCmdAnnullaCaption.toString(), kCmdAnnullaAccessibleName);
  txt_label_[1] = MakeEntry(this, "TxtLabel1", kTxtLabelAccessibleName[1]);
  cmd_avvia_[1] = MakeButton(this, "CmdAvvia1", avvia_caption, kCmdAvviaAccessibleName[1]);
  Layout();

  setTabOrder(txt_label_[0], cmd_avvia_[0]);
  setTabOrder(cmd_avvia_[0], cmd_annulla_);
  setTabOrder(cmd_annulla_, txt_label_[1]);
  setTabOrder(txt_label_[1], cmd_avvia_[1]);
  txt_label_[0]->setFocus();

  connect(cmd_avvia_[0], &QPushButton::clicked, this, [this] { emit CmdAvviaClicked(0); });
  connect(cmd_avvia_[1], &QPushButton::clicked, this, [this] { emit CmdAvviaClicked(1); });
  connect(cmd_annulla_, &QPushButton::clicked, this, [this] { emit CmdAnnullaClicked(); });
}

Twips VarnikWindow::ScreenWidth() const {
  return TwipsFromPixels(PrimaryScreenGeometry().width(), Dpi());
}

Twips VarnikWindow::ScreenHeight() const {
  return TwipsFromPixels(PrimaryScreenGeometry().height(), Dpi());
}

Twips VarnikWindow::WindowWidth() const { return TwipsFromPixels(frameGeometry().width(), Dpi()); }

Twips VarnikWindow::WindowHeight() const {
  return TwipsFromPixels(frameGeometry().height(), Dpi());
}

void VarnikWindow::MoveWindow(Twips left, Twips top) {
  unframed_middle_.reset();
  if (!Framed()) unframed_middle_.emplace(left + WindowWidth() / 2, top + WindowHeight() / 2);
  Place(left, top);
}

void VarnikWindow::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  // The window system moves the window when it frames it, and Qt knows the
  // frame by then.
  if (!unframed_middle_ || !isVisible() || !Framed()) return;
  const auto [middle_x, middle_y] = *std::exchange(unframed_middle_, std::nullopt);
  Place(middle_x - WindowWidth() / 2, middle_y - WindowHeight() / 2);
}

bool VarnikWindow::Framed() const { return frameGeometry().size() != size(); }

void VarnikWindow::Place(Twips left, Twips top) {
  // move() places a window's frame, not its client area.
  const QPoint origin = PrimaryScreenGeometry().topLeft();
  move(origin.x() + PixelsFromTwips(left, Dpi()), origin.y() + PixelsFromTwips(top, Dpi()));
}

void VarnikWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The window exists once shown; it tells when it moves to another screen.
  connect(windowHandle(), &QWindow::screenChanged, this, &VarnikWindow::FollowScreen,
          Qt::UniqueConnection);
  FollowScreen(windowHandle()->screen());
}

void VarnikWindow::FollowScreen(QScreen* screen) {
  disconnect(screen_dpi_);
  if (screen != nullptr) {
    screen_dpi_ = connect(screen, &QScreen::logicalDotsPerInchChanged, this, [this] { Layout(); });
  }
  Layout();
}

double VarnikWindow::Dpi() const {
  const QScreen* on = screen();
  const double dpi = on != nullptr ? on->logicalDotsPerInch() : 0;
  return dpi > 0 ? dpi : kDefaultDpi;
}

void VarnikWindow::Layout() {
  const double dpi = Dpi();
  if (dpi == laid_out_dpi_) return;
  laid_out_dpi_ = dpi;
  setFixedSize(PixelsFromTwips(kClientWidth, dpi), PixelsFromTwips(kClientHeight, dpi));
  for (std::size_t i = 0; i < txt_label_.size(); ++i) {
    txt_label_[i]->setGeometry(ToPixels(kTxtLabelRect[i], dpi));
    cmd_avvia_[i]->setGeometry(ToPixels(kCmdAvviaRect[i], dpi));
  }
  cmd_annulla_->setGeometry(ToPixels(kCmdAnnullaRect, dpi));
  // Each control is given the font as well: a font the window takes while it
  // changes screens does not reach them by itself.
  const QFont font = FormFont(*cmd_avvia_[0]);
  setFont(font);
  for (QWidget* control : std::initializer_list<QWidget*>{
           txt_label_[0], cmd_avvia_[0], cmd_annulla_, txt_label_[1], cmd_avvia_[1]}) {
    control->setFont(font);
  }
}

void VarnikWindow::SetTitle(std::u16string_view title) {
  setWindowTitle(QStringView(title).toString());
}

std::u16string VarnikWindow::EntryText(EntryLine line) const {
  return TxtLabel(line)->text().toStdU16String();
}

void VarnikWindow::SetEntryText(EntryLine line, std::u16string_view text) {
  // The box keeps the first kMaxLength characters and drops the rest. Line
  // breaks stay: the first-line rule is for what the user inserts.
  QLineEdit* entry = TxtLabel(line);
  const QValidator* rule = entry->validator();
  entry->setValidator(nullptr);
  entry->setText(QStringView(text).toString());
  entry->setValidator(rule);
}

void VarnikWindow::ShowInformation(std::u16string_view text, std::u16string_view title) {
  QMessageBox box(QMessageBox::Information, QStringView(title).toString(),
                  QStringView(text).toString(), QMessageBox::Ok, this);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

WaitChoice VarnikWindow::AskToKeepWaiting(std::u16string_view text, std::u16string_view title,
                                          PendingCall& call) {
  // Before the window is shown (at start-up) the box stands alone, so that
  // it has a place of its own in the window list.
  QMessageBox box(QMessageBox::Warning, QStringView(title).toString(), QStringView(text).toString(),
                  QMessageBox::NoButton, isVisible() ? this : nullptr);
  LetLoneBoxStandAlone(box);
  box.setTextFormat(Qt::PlainText);
  QPushButton* keep_waiting =
      box.addButton(kKeepWaitingCaption.toString(), QMessageBox::AcceptRole);
  QPushButton* stop = box.addButton(kStopWaitingCaption.toString(), QMessageBox::RejectRole);
  box.setDefaultButton(keep_waiting);
  // Esc and the box's close button both press it.
  box.setEscapeButton(stop);

  bool answered = false;
  QTimer poll;
  poll.setInterval(kAnswerPollInterval);
  connect(&poll, &QTimer::timeout, &box, [&] {
    if (!call.Answered()) return;
    answered = true;
    box.done(QDialog::Accepted);
  });
  poll.start();
  box.exec();
  if (answered) return WaitChoice::Answered;
  // Told to quit, the application closes every window, this box included,
  // which then reads as "Interrompi"; any box after that returns at once.
  // Either way the user chose nothing.
  if (quitting_) return WaitChoice::SessionEnding;
  return box.clickedButton() == keep_waiting ? WaitChoice::KeepWaiting : WaitChoice::Stop;
}

bool VarnikWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == qApp && event->type() == QEvent::Quit) quitting_ = true;
  return QWidget::eventFilter(watched, event);
}

void VarnikWindow::CloseWindow() { close(); }

void VarnikWindow::closeEvent(QCloseEvent* event) {
  // The window system's close box is the exit button: whether the window
  // closes now is the dialog logic's to say, through CloseWindow.
  if (event->spontaneous()) {
    event->ignore();
    emit CmdAnnullaClicked();
    return;
  }
  QWidget::closeEvent(event);
}

QLineEdit* VarnikWindow::TxtLabel(EntryLine line) const {
  return txt_label_[static_cast<std::size_t>(IndexOf(line))];
}

}  // namespace varnik
