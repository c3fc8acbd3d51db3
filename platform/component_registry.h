#pragma once
// The component layer: how the application creates a control that lives in a
// shared library it does not link, and talks to it by dispatch ids.
//
//   Variant               one argument or result of a dispatch call
//   DispatchObject        Invoke(dispid, kind, args, result) and the typed
//                         methods a control builds on top of it
//   EventSink             where a control fires its events
//   registerComponent / unregisterComponent / findComponent
//                         the registry INI (class id and ProgID -> library)
//   createComponent       dlopen the library named by a class id or ProgID
//                         and have it make the object
//
// The registry is $XDG_CONFIG_HOME/Velnor/components.ini (configFolder()):
//   [CLSID]  {class id}=library path
//   [ProgID] ProgID={class id}
//   [Names]  {class id}=type name
// A component library exports, with C linkage:
//   int  brindel_component_create(const char* clsid, DispatchObject** out)
//        0 and the new object, or a nonzero code
//   void brindel_component_destroy(DispatchObject*)
// The library stays loaded while any object it made is alive; ComponentPtr's
// deleter hands the object back to the library that made it.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <variant>

class QWidget;

namespace platform {

// A by-reference argument ("short*" and "long*" of a method) points into the
// caller's storage, as the caller's VT_BYREF did.
using VariantValue = std::variant<std::monostate, std::int16_t, std::int32_t, std::string, std::int16_t*,
                                  std::int32_t*>;

class Variant {
 public:
  Variant() = default;
  Variant(std::int16_t v) : value_(v) {}
  Variant(std::int32_t v) : value_(v) {}
  Variant(std::string v) : value_(std::move(v)) {}
  Variant(const char* v) : value_(std::string(v)) {}
  Variant(std::int16_t* ref) : value_(ref) {}
  Variant(std::int32_t* ref) : value_(ref) {}

  bool empty() const { return std::holds_alternative<std::monostate>(value_); }
  bool isText() const { return std::holds_alternative<std::string>(value_); }
  // Numbers convert as automation did: a short widens, a long narrows to its low 16 bits.
  bool toShort(std::int16_t* out) const;
  bool toLong(std::int32_t* out) const;
  const std::string* text() const { return std::get_if<std::string>(&value_); }
  std::int16_t* shortRef() const;
  const VariantValue& value() const { return value_; }

 private:
  VariantValue value_;
};

enum class DispatchKind { Method, PropertyGet, PropertyPut };

// Results of Invoke, as automation reported them.
inline constexpr std::int32_t kDispOk = 0;
inline constexpr std::int32_t kDispUnknownName = static_cast<std::int32_t>(0x80020003);  // DISP_E_MEMBERNOTFOUND
inline constexpr std::int32_t kDispBadParamCount = static_cast<std::int32_t>(0x8002000E);
inline constexpr std::int32_t kDispTypeMismatch = static_cast<std::int32_t>(0x80020005);

class EventSink {
 public:
  virtual ~EventSink() = default;
  virtual void fire(int dispid, std::span<const Variant> args) = 0;
};

class DispatchObject {
 public:
  virtual ~DispatchObject() = default;
  // Never throws. Arguments in declaration order.
  virtual std::int32_t invoke(int dispid, DispatchKind kind, std::span<const Variant> args,
                              Variant* result) noexcept = 0;
  // Null stops the events.
  virtual void setEventSink(EventSink* sink) = 0;
  // The control's window, made on first use; the host parents it.
  virtual QWidget* window() = 0;
};

struct ComponentDeleter {
  std::shared_ptr<void> library;  // dlopen handle, closed after the last object
  void (*destroy)(DispatchObject*) = nullptr;
  void operator()(DispatchObject* object) const;
};
using ComponentPtr = std::unique_ptr<DispatchObject, ComponentDeleter>;

struct ComponentEntry {
  std::string clsid;
  std::string progId;
  std::string typeName;
  std::string libraryPath;
};

std::string componentRegistryPath();
bool registerComponent(const ComponentEntry& entry);
bool unregisterComponent(const std::string& clsid);
// By class id ("{...}") or ProgID; nullopt-like empty entry when unknown.
bool findComponent(const std::string& clsidOrProgId, ComponentEntry* out);

// 0 and the object; otherwise a code: kComponentNotRegistered,
// kComponentLoadFailed (the library or its entry points are missing) or the
// library's own nonzero answer.
inline constexpr int kComponentNotRegistered = static_cast<int>(0x80040154);  // REGDB_E_CLASSNOTREG
inline constexpr int kComponentLoadFailed = static_cast<int>(0x8007007E);     // module not found
int createComponent(const std::string& clsidOrProgId, ComponentPtr* out, std::string* error = nullptr);

}  // namespace platform
