// Late-bound automation objects: apartments, creation from a ProgID, and
// access to members by name at call time.
//
//   CoInitialize(nullptr);
//   DispatchPtr re;
//   CreateObject(u"VBScript.RegExp", &re);            // fails outside an apartment
//   PutProperty(re.get(), u"Pattern", Variant::String(u"a(b)"));
//   Variant matches;
//   CallMethod(re.get(), u"Execute", &matches, {Variant::String(u"xab")});
//   Variant count;
//   GetProperty(matches.object(), u"Count", &count);  // count.lVal == 1
//   CoUninitialize();
//
// A call that cannot be carried out (an unknown member, a wrong argument, an
// index out of range, an error inside the object) returns a failure code
// and leaves the result empty; nothing is thrown across this boundary.
#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;
using DISPID = std::int32_t;
using WORD = std::uint16_t;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT CO_E_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);
inline constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3u);
inline constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006u);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003u);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005u);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000Eu);
inline constexpr HRESULT DISP_E_BADINDEX = static_cast<HRESULT>(0x8002000Bu);
inline constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009u);

inline constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline constexpr bool FAILED(HRESULT hr) { return hr < 0; }

inline constexpr WORD DISPATCH_METHOD = 0x1;
inline constexpr WORD DISPATCH_PROPERTYGET = 0x2;
inline constexpr WORD DISPATCH_PROPERTYPUT = 0x4;

inline constexpr DISPID DISPID_UNKNOWN = -1;

// Enters the calling thread's apartment; S_FALSE when it was entered
// already. Every successful call is paired with one CoUninitialize.
HRESULT CoInitialize(void* reserved);
// Leaves the apartment once; a call without a matching CoInitialize does
// nothing.
void CoUninitialize();

struct Variant;

// An automation object. Arguments of Invoke come in their natural order.
class IDispatch {
 public:
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;
  virtual HRESULT GetIDsOfNames(const char16_t* name, DISPID* id) = 0;
  virtual HRESULT Invoke(DISPID id, WORD flags, const Variant* args, unsigned argCount,
                         Variant* result) = 0;

 protected:
  virtual ~IDispatch() = default;
};

// Holds one reference on an object; copying adds one, destruction gives it
// back.
class DispatchPtr {
 public:
  DispatchPtr() noexcept = default;
  // Takes over a reference the caller already holds.
  static DispatchPtr Adopt(IDispatch* object) noexcept {
    DispatchPtr p;
    p.object_ = object;
    return p;
  }
  DispatchPtr(const DispatchPtr& other) noexcept : object_(other.object_) {
    if (object_ != nullptr) object_->AddRef();
  }
  DispatchPtr(DispatchPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  DispatchPtr& operator=(DispatchPtr other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~DispatchPtr() { reset(); }

  void reset() noexcept {
    if (IDispatch* o = std::exchange(object_, nullptr)) o->Release();
  }
  IDispatch* get() const noexcept { return object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }

 private:
  IDispatch* object_ = nullptr;
};

enum VARTYPE : WORD { VT_EMPTY = 0, VT_I4 = 3, VT_R8 = 5, VT_BSTR = 8, VT_DISPATCH = 9, VT_BOOL = 11 };

// A value crossing the boundary: empty, boolean, 32-bit integer, double,
// UTF-16 string or object reference. Only the member named by `vt` counts.
struct Variant {
  VARTYPE vt = VT_EMPTY;
  bool boolVal = false;
  std::int32_t lVal = 0;
  double dblVal = 0;
  std::u16string bstrVal;
  DispatchPtr pdispVal;

  static Variant Bool(bool v) {
    Variant r;
    r.vt = VT_BOOL;
    r.boolVal = v;
    return r;
  }
  static Variant Int(std::int32_t v) {
    Variant r;
    r.vt = VT_I4;
    r.lVal = v;
    return r;
  }
  static Variant Double(double v) {
    Variant r;
    r.vt = VT_R8;
    r.dblVal = v;
    return r;
  }
  static Variant String(std::u16string v) {
    Variant r;
    r.vt = VT_BSTR;
    r.bstrVal = std::move(v);
    return r;
  }
  static Variant Object(DispatchPtr v) {
    Variant r;
    r.vt = VT_DISPATCH;
    r.pdispVal = std::move(v);
    return r;
  }
  // The object reference, or null for any other kind.
  IDispatch* object() const { return vt == VT_DISPATCH ? pdispVal.get() : nullptr; }
};

// Creates an instance of the class registered under `progId` in the calling
// thread's apartment. CO_E_NOTINITIALIZED outside an apartment,
// CO_E_CLASSSTRING for an unknown ProgID.
HRESULT CreateObject(const char16_t* progId, DispatchPtr* object);

// Late-bound access: the member is looked up by name, then invoked. A null
// object or an unknown name fails; `result` is emptied first in every case.
HRESULT GetProperty(IDispatch* object, const char16_t* name, Variant* result,
                    std::initializer_list<Variant> args = {});
HRESULT PutProperty(IDispatch* object, const char16_t* name, const Variant& value);
HRESULT CallMethod(IDispatch* object, const char16_t* name, Variant* result,
                   std::initializer_list<Variant> args = {});

// Reference counting shared by the objects of this folder.
class DispatchBase : public IDispatch {
 public:
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 private:
  std::atomic<ULONG> references_{1};
};
