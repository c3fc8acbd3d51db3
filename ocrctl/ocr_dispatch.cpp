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
  // A property the control only stores; setting it marks the control modified.
  auto storedShort = [&](short& field) {
    shortProperty([&] { return field; }, [&](short v) { field = v; c.markModified(); });
  };
  auto storedLong = [&](std::int32_t& field) {
    longProperty([&] { return field; }, [&](std::int32_t v) { field = v; c.markModified(); });
  };
  auto markOnly = [&](short) { c.markModified(); };
  auto nothing = [](auto) {};

  namespace id = dispid;
  switch (dispid) {
    case id::kDrawWidth: shortProperty([&] { return c.drawWidth(); }, markOnly); break;
    case id::kDrawHeight: shortProperty([&] { return c.drawHeight(); }, markOnly); break;
    case id::kDrawDpi: shortProperty([&] { return c.drawDpi(); }, [&](short v) { c.setDrawDpi(v); }); break;
    case id::kDispScale: shortProperty([&] { return c.dispScale(); }, [&](short v) { c.setDispScale(v); }); break;
    case id::kForm: shortProperty([&] { return c.form(); }, [&](short v) { c.setForm(v); }); break;
    case id::kLanguage: shortProperty([&] { return c.language(); }, [&](short v) { c.setLanguage(v); }); break;
    case id::kLetterDirection:
      shortProperty([&] { return c.letterDirection(); }, [&](short v) { c.setLetterDirection(v); });
      break;
    case id::kInsertCRMode:
      shortProperty([&] { return c.insertCrMode(); }, [&](short v) { c.setInsertCrMode(v); });
      break;
    case id::kBlancOutMode:
      shortProperty([&] { return c.blancOutMode(); }, [&](short v) { c.setBlancOutMode(v); });
      break;
    case id::kCharAttr: shortProperty([&] { return c.charAttr(); }, [&](short v) { c.setCharAttr(v); }); break;
    case id::kActiveId: shortProperty([&] { return c.activeId(); }, [&](short v) { c.setActiveId(v); }); break;
    case id::kRcgNum: shortProperty([&] { return c.rcgNum(); }, nothing); break;
    case id::kRcgLeft: shortProperty([&] { return c.rcgLeft(); }, [&](short v) { c.setRcgEdge(0, v); }); break;
    case id::kRcgTop: shortProperty([&] { return c.rcgTop(); }, [&](short v) { c.setRcgEdge(1, v); }); break;
    case id::kRcgRight: shortProperty([&] { return c.rcgRight(); }, [&](short v) { c.setRcgEdge(2, v); }); break;
    case id::kRcgBottom: shortProperty([&] { return c.rcgBottom(); }, [&](short v) { c.setRcgEdge(3, v); }); break;
    case id::kActiveColor: storedLong(c.activeColor); break;
    case id::kRcgFieldColor: storedLong(c.rcgFieldColor); break;
    case id::kCreateColor: storedLong(c.createColor); break;
    case id::kActivePensize: storedShort(c.activePensize); break;
    case id::kRcgFieldPensize: storedShort(c.rcgFieldPensize); break;
    case id::kCreatePensize: storedShort(c.createPensize); break;
    case id::kRcgJpnColor: storedLong(c.rcgJpnColor); break;
    case id::kRcgEngColor: storedLong(c.rcgEngColor); break;
    case id::kShowCancel: storedShort(c.showCancel); break;
    case id::kVersion: longProperty([&] { return c.version(); }, nothing); break;
    case id::kDispOffset: longProperty([&] { return c.dispOffset(); }, nothing); break;
    case id::kBetterMode: longProperty([&] { return c.betterMode; }, [&](std::int32_t v) { c.betterMode = v; }); break;
    case id::kUsrPatName:
    case id::kPatTempDir:
      if (get) {
        a.need(0);
        out = dispid == id::kUsrPatName ? c.usrPatName() : c.patTempDir();
      } else if (put) {
        a.need(1);
        if (dispid == id::kUsrPatName) c.setUsrPatName(a.textAt(0));
        else c.setPatTempDir(a.textAt(0));
      } else {
        throw DispatchError{platform::kDispUnknownName};
      }
      break;
    case id::kPatNum: shortProperty([&] { return c.patNum(); }, markOnly); break;
    case id::kSpecNum: shortProperty([&] { return c.specNum(); }, [&](short v) { c.setSpecNum(v); }); break;

    case id::kInitOcr: method(1); out = c.InitOcr(a.textAt(0)); break;
    case id::kLoadImageFile: method(1); out = c.LoadImageFile(a.textAt(0)); break;
    case id::kSetImageHandle: method(1); out = c.SetImageHandle(a.longAt(0)); break;
    case id::kSkewAuto: method(0); out = c.SkewAuto(); break;
    case id::kRotate: method(1); out = c.Rotate(a.shortAt(0)); break;
    case id::kDoLayout: method(0); out = c.DoLayout(); break;
    case id::kShowParamSet:
      method(0);
      if (c.state() == State::Recognising) {
        out = code::kNotReady;
        break;
      }
      out = showPropertySheet(*this, window_.data(), dialogRunner_);
      if (window_) window_->update();  // frame colours and pen widths
      break;
    case id::kDoRecognize: method(0); out = c.DoRecognize(); break;
    case id::kGetOcrResult: method(0); out = c.GetOcrResult(); break;
    case id::kSetRcgRect: method(4); out = c.SetRcgRect(a.shortAt(0), a.shortAt(1), a.shortAt(2), a.shortAt(3)); break;
    case id::kDeleteRcgRect: method(1); out = c.DeleteRcgRect(a.shortAt(0)); break;
    case id::kModifyRcgRect:
      method(5);
      out = c.ModifyRcgRect(a.shortAt(0), a.shortAt(1), a.shortAt(2), a.shortAt(3), a.shortAt(4));
      break;
    case id::kDeleteAllRcgRect: method(0); out = c.DeleteAllRcgRect(); break;
    case id::kGetRcgRect:
      method(5);
      out = c.GetRcgRect(a.shortAt(0), a.shortRefAt(1), a.shortRefAt(2), a.shortRefAt(3), a.shortRefAt(4));
      break;
    case id::kGetResultRectHandle: {
      method(1);
      out = static_cast<std::int32_t>(c.GetResultRectHandle(a.shortRefAt(0)));
      break;
    }
    case id::kGetRcgCandidate: method(1); out = c.GetRcgCandidate(a.shortAt(0)); break;
    case id::kSetSyncPos: method(1); out = c.SetSyncPos(a.shortAt(0)); break;
    case id::kGetResultRect:
      method(5);
      out = c.GetResultRect(a.shortAt(0), a.shortRefAt(1), a.shortRefAt(2), a.shortRefAt(3), a.shortRefAt(4));
      break;
    case id::kRegistPat:
      method(5);
      out = c.RegistPat(a.shortAt(0), a.shortAt(1), a.shortAt(2), a.shortAt(3), a.shortAt(4));
      break;
    case id::kUpdatePat: method(2); out = c.UpdatePat(a.shortAt(0), a.shortAt(1)); break;
    case id::kDeletePat: method(1); out = c.DeletePat(a.shortAt(0)); break;
    case id::kSavePatFile: method(0); out = c.SavePatFile(); break;
    case id::kLoadPatImageSection: method(0); out = c.LoadPatImageSection(); break;
    case id::kUnloadPatImageSection: method(0); out = c.UnloadPatImageSection(); break;
    case id::kUserPatMant: method(0); out = runPatternManagement(c, dialogRunner_); break;
    case id::kGetPatInfo:
      method(4);
      out = c.GetPatInfo(a.shortAt(0), a.shortRefAt(1), a.shortRefAt(2), a.shortRefAt(3));
      break;
    case id::kGetPatImage: method(1); out = static_cast<std::int32_t>(c.GetPatImage(a.shortAt(0))); break;
    case id::kGetConfLevelHandle:
      method(1);
      out = static_cast<std::int32_t>(c.GetConfLevelHandle(a.shortRefAt(0)));
      break;
    case id::kGetConfLevel: method(2); out = c.GetConfLevel(a.shortAt(0), a.shortAt(1)); break;
    case id::kSkewAutoEx: method(3); out = c.SkewAutoEx(a.shortRefAt(0), a.shortRefAt(1), a.shortRefAt(2)); break;
    case id::kGetImageHandle: method(0); out = static_cast<std::int32_t>(c.GetImageHandle()); break;
    case id::kBorderStyle:
      shortProperty([&] { return c.borderStyle; },
                    [&](short v) {
                      c.borderStyle = v == 1 ? 1 : 0;
                      c.markModified();
                      if (window_) applyBorderStyle(*window_, c.borderStyle);
                    });
      break;
    case id::kRefresh:
      method(0);
      if (window_) window_->viewport()->repaint();
      break;
    case id::kAboutBox:
      method(0);
      runAboutBox(window_.data(), dialogRunner_);
      break;
    default: return platform::kDispUnknownName;
  }
  if (result != nullptr) *result = std::move(out);
  return platform::kDispOk;
}

}  // namespace ocrctl
