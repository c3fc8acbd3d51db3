#include "ocrctl/ocr_dispatch.h"

#include "ocrctl/pattern_dlg.h"
#include "ocrctl/property_page.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include <array>
#include <initializer_list>
#include <stdexcept>

namespace ocrctl {

using platform::DispatchKind;
using platform::Variant;

namespace {

// Thrown inside the adaptor only, and turned into the automation codes
// before Invoke returns.
struct DispatchError {
  std::int32_t code;
};

class Args {
 public:
  explicit Args(std::span<const Variant> args) : args_(args) {}
  void need(std::size_t n) const {
    if (args_.size() != n) throw DispatchError{platform::kDispBadParamCount};
  }
  std::int16_t shortAt(std::size_t i) const {
    std::int16_t v = 0;
    if (i >= args_.size() || !args_[i].toShort(&v)) throw DispatchError{platform::kDispTypeMismatch};
    return v;
  }
  std::int32_t longAt(std::size_t i) const {
    std::int32_t v = 0;
    if (i >= args_.size() || !args_[i].toLong(&v)) throw DispatchError{platform::kDispTypeMismatch};
    return v;
  }
  std::string textAt(std::size_t i) const {
    if (i >= args_.size() || args_[i].text() == nullptr) throw DispatchError{platform::kDispTypeMismatch};
    return *args_[i].text();
  }
  // An out-parameter; a missing reference is allowed (the value is dropped).
  std::int16_t* shortRefAt(std::size_t i) const {
    if (i >= args_.size()) throw DispatchError{platform::kDispBadParamCount};
    return args_[i].shortRef();
  }

 private:
  std::span<const Variant> args_;
};

}  // namespace

RecognitionStopDlg::RecognitionStopDlg(OcrControl& control, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), control_(control) {
  setObjectName(QStringLiteral("stopMojiBox"));
  setModal(false);
  auto* icon = new QLabel(this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
  auto* text = new QLabel(QStringLiteral("日本語認識中..."), this);
  auto* stop = new QPushButton(QStringLiteral("中止"), this);
  stop->setObjectName(QStringLiteral("IDOK"));
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(icon);
  layout->addWidget(text, 1);
  layout->addWidget(stop);
  connect(stop, &QPushButton::clicked, this, [this] { control_.requestStop(); });
}

void RecognitionStopDlg::reject() { control_.requestStop(); }

namespace {

// The stock border: none, or a single line.
void applyBorderStyle(QFrame& frame, short style) {
  if (style == 1) {
    frame.setFrameStyle(QFrame::Box | QFrame::Plain);
    frame.setLineWidth(1);
  } else {
    frame.setFrameStyle(QFrame::NoFrame);
  }
}

// Dialog 1: the control's name and version.
int runAboutBox(QWidget* parent, const DialogRunner& runner) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("dlg1"));
  dialog.setWindowTitle(QStringLiteral("ZEQOCR30 のバージョン情報"));
  dialog.setFont(controlDialogFont());
  auto* icon = new QLabel(&dialog);
  icon->setPixmap(dialog.style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
  auto* text = new QLabel(QStringLiteral("ZEQOCR30 OCR コントロール\nバージョン 3.0"), &dialog);
  auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
  ok->setObjectName(QStringLiteral("IDOK"));
  ok->setDefault(true);
  QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  auto* layout = new QHBoxLayout(&dialog);
  layout->addWidget(icon);
  layout->addWidget(text, 1);
  layout->addWidget(ok);
  return runDialog(dialog, runner);
}

}  // namespace

OcrDispatch::OcrDispatch() {
  control_.setRepaint([this] {
    if (window_) window_->refresh();
  });
  control_.setHighlightShown([this] {
    if (window_) window_->showHighlight();
  });
  control_.setStopDialog([this](int visible) { stopDialog(visible); });
  control_.setRecognitionProgress([this](int left, int top, int right, int bottom, std::uint32_t) {
    if (window_) window_->addLineFrame(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
  });
}

OcrDispatch::~OcrDispatch() {
  control_.setRepaint({});
  control_.setHighlightShown({});
  control_.setStopDialog({});
  control_.setRecognitionProgress({});
  delete stopDialog_.data();
  delete window_.data();
}

void OcrDispatch::stopDialog(int visible) {
  if (visible < 0) {
    delete stopDialog_.data();
    return;
  }
  // A new run starts: the frames of the last one go.
  if (!stopDialog_ && window_) window_->clearLineFrames();
  if (!stopDialog_) stopDialog_ = new RecognitionStopDlg(control_, window_.data());
  if (visible != 1) return;
  stopDialog_->adjustSize();
  if (window_) {
    const QRect frame = window_->frameGeometry();
    const QPoint centre = window_->isWindow() ? frame.center() : window_->mapToGlobal(window_->rect().center());
    stopDialog_->move(centre - stopDialog_->rect().center());
  }
  stopDialog_->show();
}

QWidget* OcrDispatch::window() {
  if (!window_) {
    window_ = new OcrControlWindow(control_);
    control_.setWindow(window_.data());
    applyBorderStyle(*window_, control_.borderStyle);
    // The events go out synchronously from the window's input handlers.
    auto rectArgs = [](int number, const QRect& r) {
      return std::array<Variant, 5>{Variant(static_cast<std::int16_t>(number)), Variant(std::int32_t{r.left()}),
                                    Variant(std::int32_t{r.top()}), Variant(std::int32_t{r.right()}),
                                    Variant(std::int32_t{r.bottom()})};
    };
    auto shortArgs = [](std::initializer_list<int> values) {
      std::vector<Variant> v;
      for (int x : values) v.emplace_back(static_cast<std::int16_t>(x));
      return v;
    };
    QObject::connect(window_.data(), &AreaView::areaCreated, window_.data(),
                     [this, rectArgs](int n, const QRect& r) { fire(event::kAreaCreated, rectArgs(n, r)); });
    QObject::connect(window_.data(), &AreaView::areaModified, window_.data(),
                     [this, rectArgs](int n, const QRect& r) { fire(event::kAreaModified, rectArgs(n, r)); });
    QObject::connect(window_.data(), &AreaView::areaDeleted, window_.data(),
                     [this, shortArgs](int n) { fire(event::kAreaDeleted, shortArgs({n})); });
    QObject::connect(window_.data(), &AreaView::activeAreaChanged, window_.data(),
                     [this, shortArgs](int n) { fire(event::kActiveAreaChanged, shortArgs({n})); });
    QObject::connect(window_.data(), &AreaView::areaNoChanged, window_.data(), [this, shortArgs](int from, int to) {
      fire(event::kAreaNoChanged, shortArgs({from, to}));
    });
    QObject::connect(window_.data(), &AreaView::viewScrolled, window_.data(), [this, shortArgs](int bar, int amount) {
      fire(event::kViewScrolled, shortArgs({bar, amount}));
    });
  }
  return window_.data();
}

void OcrDispatch::fire(int dispid, std::span<const Variant> args) {
  if (sink_ != nullptr) sink_->fire(dispid, args);
}

std::int32_t OcrDispatch::invoke(int dispid, DispatchKind kind, std::span<const Variant> args,
                                 Variant* result) noexcept {
  try {
    return invokeChecked(dispid, kind, args, result);
  } catch (const DispatchError& e) {
    return e.code;
  } catch (...) {
    return platform::kDispTypeMismatch;
  }
}

std::int32_t OcrDispatch::invokeChecked(int dispid, DispatchKind kind, std::span<const Variant> args,
                                        Variant* result) {
  Args a(args);
  OcrControl& c = control_;
  Variant out;
  const bool get = kind == DispatchKind::PropertyGet;
  const bool put = kind == DispatchKind::PropertyPut;
  // A property: get answers the value, put takes one argument.
  auto shortProperty = [&](auto getter, auto setter) {
    if (get) {
      a.need(0);
      out = static_cast<std::int16_t>(getter());
    } else if (put) {
      a.need(1);
      setter(a.shortAt(0));
    } else {
      throw DispatchError{platform::kDispUnknownName};
    }
  };
  auto longProperty = [&](auto getter, auto setter) {
    if (get) {
      a.need(0);
      out = static_cast<std::int32_t>(getter());
    } else if (put) {
      a.need(1);
      setter(a.longAt(0));
    } else {
      throw DispatchError{platform::kDispUnknownName};
    }
  };
  auto method = [&](std::size_t n) {
    if (kind != DispatchKind::Method) throw DispatchError{platform::kDispUnknownName};
    a.need(n);
  };
  auto markOnly = [&](short) { c.markModified(); };
  auto nothing = [](auto) {};

  switch (dispid) {
    case 1: shortProperty([&] { return c.drawWidth(); }, markOnly); break;
    case 2: shortProperty([&] { return c.drawHeight(); }, markOnly); break;
    case 3: shortProperty([&] { return c.drawDpi(); }, [&](short v) { c.setDrawDpi(v); }); break;
    case 4: shortProperty([&] { return c.dispScale(); }, [&](short v) { c.setDispScale(v); }); break;
    case 5: shortProperty([&] { return c.form(); }, [&](short v) { c.setForm(v); }); break;
    case 6: shortProperty([&] { return c.language(); }, [&](short v) { c.setLanguage(v); }); break;
    case 7: shortProperty([&] { return c.letterDirection(); }, [&](short v) { c.setLetterDirection(v); }); break;
    case 8: shortProperty([&] { return c.insertCrMode(); }, [&](short v) { c.setInsertCrMode(v); }); break;
    case 9: shortProperty([&] { return c.blancOutMode(); }, [&](short v) { c.setBlancOutMode(v); }); break;
    case 10: shortProperty([&] { return c.charAttr(); }, [&](short v) { c.setCharAttr(v); }); break;
    case 11: shortProperty([&] { return c.activeId(); }, [&](short v) { c.setActiveId(v); }); break;
    case 12: shortProperty([&] { return c.rcgNum(); }, nothing); break;
    case 13: shortProperty([&] { return c.rcgLeft(); }, [&](short v) { c.setRcgEdge(0, v); }); break;
    case 14: shortProperty([&] { return c.rcgTop(); }, [&](short v) { c.setRcgEdge(1, v); }); break;
    case 15: shortProperty([&] { return c.rcgRight(); }, [&](short v) { c.setRcgEdge(2, v); }); break;
    case 16: shortProperty([&] { return c.rcgBottom(); }, [&](short v) { c.setRcgEdge(3, v); }); break;
    case 17: longProperty([&] { return c.activeColor; }, [&](std::int32_t v) { c.activeColor = v; c.markModified(); }); break;
    case 18: longProperty([&] { return c.rcgFieldColor; }, [&](std::int32_t v) { c.rcgFieldColor = v; c.markModified(); }); break;
    case 19: longProperty([&] { return c.createColor; }, [&](std::int32_t v) { c.createColor = v; c.markModified(); }); break;
    case 20: shortProperty([&] { return c.activePensize; }, [&](short v) { c.activePensize = v; c.markModified(); }); break;
    case 21: shortProperty([&] { return c.rcgFieldPensize; }, [&](short v) { c.rcgFieldPensize = v; c.markModified(); }); break;
    case 22: shortProperty([&] { return c.createPensize; }, [&](short v) { c.createPensize = v; c.markModified(); }); break;
    case 23: longProperty([&] { return c.rcgJpnColor; }, [&](std::int32_t v) { c.rcgJpnColor = v; c.markModified(); }); break;
    case 24: longProperty([&] { return c.rcgEngColor; }, [&](std::int32_t v) { c.rcgEngColor = v; c.markModified(); }); break;
    case 25: shortProperty([&] { return c.showCancel; }, [&](short v) { c.showCancel = v; c.markModified(); }); break;
    case 26: longProperty([&] { return c.version(); }, nothing); break;
    case 27: longProperty([&] { return c.dispOffset(); }, nothing); break;
    case 28: longProperty([&] { return c.betterMode; }, [&](std::int32_t v) { c.betterMode = v; }); break;
    case 29:
    case 31:
      if (get) {
        a.need(0);
        out = dispid == 29 ? c.usrPatName() : c.patTempDir();
      } else if (put) {
        a.need(1);
        if (dispid == 29) c.setUsrPatName(a.textAt(0));
        else c.setPatTempDir(a.textAt(0));
      } else {
        throw DispatchError{platform::kDispUnknownName};
      }
      break;
    case 30: shortProperty([&] { return c.patNum(); }, markOnly); break;
    case 32: shortProperty([&] { return c.specNum(); }, [&](short v) { c.setSpecNum(v); }); break;

    case 60: method(1); out = c.InitOcr(a.textAt(0)); break;
    case 61: method(1); out = c.LoadImageFile(a.textAt(0)); break;
    case 62: method(1); out = c.SetImageHandle(a.longAt(0)); break;
    case 63: method(0); out = c.SkewAuto(); break;
    case 64: method(1); out = c.Rotate(a.shortAt(0)); break;
    case 65: method(0); out = c.DoLayout(); break;
    case 66:
      method(0);
      if (c.state() == State::Recognising) {
        out = code::kNotReady;
        break;
      }
      out = showPropertySheet(*this, window_.data(), dialogRunner_);
      if (window_) window_->update();  // frame colours and pen widths
      break;
    case 67: method(0); out = c.DoRecognize(); break;
    case 68: method(0); out = c.GetOcrResult(); break;
    case 69: method(4); out = c.SetRcgRect(a.shortAt(0), a.shortAt(1), a.shortAt(2), a.shortAt(3)); break;
    case 70: method(1); out = c.DeleteRcgRect(a.shortAt(0)); break;
    case 71:
      method(5);
      out = c.ModifyRcgRect(a.shortAt(0), a.shortAt(1), a.shortAt(2), a.shortAt(3), a.shortAt(4));
      break;
    case 72: method(0); out = c.DeleteAllRcgRect(); break;
    case 73:
      method(5);
      out = c.GetRcgRect(a.shortAt(0), a.shortRefAt(1), a.shortRefAt(2), a.shortRefAt(3), a.shortRefAt(4));
      break;
    case 74: {
      method(1);
      out = static_cast<std::int32_t>(c.GetResultRectHandle(a.shortRefAt(0)));
      break;
    }
    case 75: method(1); out = c.GetRcgCandidate(a.shortAt(0)); break;
    case 76: method(1); out = c.SetSyncPos(a.shortAt(0)); break;
    case 77:
      method(5);
      out = c.GetResultRect(a.shortAt(0), a.shortRefAt(1), a.shortRefAt(2), a.shortRefAt(3), a.shortRefAt(4));
      break;
    case 78:
      method(5);
      out = c.RegistPat(a.shortAt(0), a.shortAt(1), a.shortAt(2), a.shortAt(3), a.shortAt(4));
      break;
    case 79: method(2); out = c.UpdatePat(a.shortAt(0), a.shortAt(1)); break;
    case 80: method(1); out = c.DeletePat(a.shortAt(0)); break;
    case 81: method(0); out = c.SavePatFile(); break;
    case 82: method(0); out = c.LoadPatImageSection(); break;
    case 83: method(0); out = c.UnloadPatImageSection(); break;
    case 84: method(0); out = runPatternManagement(c, dialogRunner_); break;
    case 85:
      method(4);
      out = c.GetPatInfo(a.shortAt(0), a.shortRefAt(1), a.shortRefAt(2), a.shortRefAt(3));
      break;
    case 86: method(1); out = static_cast<std::int32_t>(c.GetPatImage(a.shortAt(0))); break;
    case 87: method(1); out = static_cast<std::int32_t>(c.GetConfLevelHandle(a.shortRefAt(0))); break;
    case 88: method(2); out = c.GetConfLevel(a.shortAt(0), a.shortAt(1)); break;
    case 89: method(3); out = c.SkewAutoEx(a.shortRefAt(0), a.shortRefAt(1), a.shortRefAt(2)); break;
    case 90: method(0); out = static_cast<std::int32_t>(c.GetImageHandle()); break;
    case kDispidBorderStyle:
      shortProperty([&] { return c.borderStyle; },
                    [&](short v) {
                      c.borderStyle = v == 1 ? 1 : 0;
                      c.markModified();
                      if (window_) applyBorderStyle(*window_, c.borderStyle);
                    });
      break;
    case kDispidRefresh:
      method(0);
      if (window_) window_->viewport()->repaint();
      break;
    case kDispidAboutBox:
      method(0);
      runAboutBox(window_.data(), dialogRunner_);
      break;
    default: return platform::kDispUnknownName;
  }
  if (result != nullptr) *result = std::move(out);
  return platform::kDispOk;
}

}  // namespace ocrctl
