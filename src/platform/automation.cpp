// Apartments, the class registry and the late-bound call helpers.
#include "platform/automation.h"

#include <new>
#include <string_view>

#include "platform/regexp_component.h"

namespace {

// How many times the current thread has entered its apartment.
thread_local int apartmentEntries = 0;

struct RegisteredClass {
  std::u16string_view progId;
  IDispatch* (*create)();
};

constexpr RegisteredClass kClasses[] = {
    {u"VBScript.RegExp", &NewRegExpComponent},
};

HRESULT Call(IDispatch* object, const char16_t* name, WORD flags, const Variant* args, unsigned count,
             Variant* result) {
  if (result != nullptr) *result = Variant();
  if (object == nullptr || name == nullptr) return E_POINTER;
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = object->GetIDsOfNames(name, &id);
  if (FAILED(hr)) return hr;
  Variant scratch;
  try {
    hr = object->Invoke(id, flags, args, count, result != nullptr ? result : &scratch);
  } catch (const std::bad_alloc&) {
    hr = E_OUTOFMEMORY;
  } catch (...) {
    hr = DISP_E_EXCEPTION;
  }
  if (FAILED(hr) && result != nullptr) *result = Variant();
  return hr;
}

}  // namespace

HRESULT CoInitialize(void*) {
  return apartmentEntries++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  if (apartmentEntries > 0) --apartmentEntries;
}

HRESULT CreateObject(const char16_t* progId, DispatchPtr* object) {
  if (object == nullptr) return E_POINTER;
  object->reset();
  if (progId == nullptr) return E_INVALIDARG;
  if (apartmentEntries == 0) return CO_E_NOTINITIALIZED;
  for (const RegisteredClass& c : kClasses) {
    if (c.progId == progId) {
      IDispatch* created = nullptr;
      try {
        created = c.create();
      } catch (...) {
        created = nullptr;
      }
      if (created == nullptr) return E_FAIL;
      *object = DispatchPtr::Adopt(created);
      return S_OK;
    }
  }
  return CO_E_CLASSSTRING;
}

HRESULT GetProperty(IDispatch* object, const char16_t* name, Variant* result,
                    std::initializer_list<Variant> args) {
  return Call(object, name, DISPATCH_PROPERTYGET, args.begin(), static_cast<unsigned>(args.size()), result);
}

HRESULT PutProperty(IDispatch* object, const char16_t* name, const Variant& value) {
  return Call(object, name, DISPATCH_PROPERTYPUT, &value, 1, nullptr);
}

HRESULT CallMethod(IDispatch* object, const char16_t* name, Variant* result,
                   std::initializer_list<Variant> args) {
  return Call(object, name, DISPATCH_METHOD, args.begin(), static_cast<unsigned>(args.size()), result);
}
