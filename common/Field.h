// CField: one field descriptor of a class's field map.
//
// A field's getter and setter are typed accessor objects that remember the
// member function of the owning class; they are called on the target object
// of a FieldBinding. Member-function pointers are never cast between types:
// the accessor for value type T is reached only after the field's type code
// has been checked to be T's code, and the code is fixed by the constructor
// from the accessor's own signature.
#pragma once

#include "common/Export.h"

#include <memory>
#include <string>
#include <type_traits>

#include "common/Types.h"

namespace Kestrum::Common {

class CFormat;

class KESTRUM_COMMON_EXPORT CFieldAccessor {
public:
    virtual ~CFieldAccessor() = default;
    virtual std::unique_ptr<CFieldAccessor> Clone() const = 0;
};

template <class T>
class KESTRUM_COMMON_EXPORT CFieldGetter : public CFieldAccessor {
public:
    virtual T Get(CDataObject& target) const = 0;
};

template <class T>
class KESTRUM_COMMON_EXPORT CFieldSetter : public CFieldAccessor {
public:
    virtual void Set(CDataObject& target, const T& value) const = 0;
};

namespace Detail {

template <class Fn> struct GetterTraits;
template <class C, class R> struct GetterTraits<R (C::*)() const> { using Class = C; using Value = std::remove_cvref_t<R>; };
template <class C, class R> struct GetterTraits<R (C::*)()> { using Class = C; using Value = std::remove_cvref_t<R>; };

template <class Fn> struct SetterTraits;
template <class C, class A> struct SetterTraits<void (C::*)(A)> { using Class = C; using Value = std::remove_cvref_t<A>; };
template <class C, class A, class R> struct SetterTraits<R (C::*)(A)> { using Class = C; using Value = std::remove_cvref_t<A>; };

template <class C, class T, class Fn>
class KESTRUM_COMMON_EXPORT CMemberGetter final : public CFieldGetter<T> {
public:
    explicit CMemberGetter(Fn fn) : m_fn(fn) {}
    T Get(CDataObject& target) const override { return (static_cast<C&>(target).*m_fn)(); }
    std::unique_ptr<CFieldAccessor> Clone() const override { return std::make_unique<CMemberGetter>(m_fn); }

private:
    Fn m_fn;
};

template <class C, class T, class Fn>
class KESTRUM_COMMON_EXPORT CMemberSetter final : public CFieldSetter<T> {
public:
    explicit CMemberSetter(Fn fn) : m_fn(fn) {}
    void Set(CDataObject& target, const T& value) const override { (static_cast<C&>(target).*m_fn)(value); }
    std::unique_ptr<CFieldAccessor> Clone() const override { return std::make_unique<CMemberSetter>(m_fn); }

private:
    Fn m_fn;
};

} // namespace Detail

class KESTRUM_COMMON_EXPORT CField {
public:
    // Field with accessors. The getter's value type sets the type code; the
    // setter must take the same type. A missing setter is nullptr (or the
    // literal 0 that the KESTRUM_FIELD macro passes). Names are stored only
    // when non-null, non-empty and not starting with '0'. Takes ownership of
    // the format.
    template <class Getter, class Setter>
        requires std::is_member_function_pointer_v<Getter>
    CField(FieldId id, const char* caption, Getter getter, Setter setter, CFormat* format = nullptr,
           const char* getterName = nullptr, const char* setterName = nullptr)
        : CField(id, caption, FieldTypeOf<typename Detail::GetterTraits<Getter>::Value>::value, format, getterName,
                 setterName)
    {
        using C = typename Detail::GetterTraits<Getter>::Class;
        using T = typename Detail::GetterTraits<Getter>::Value;
        static_assert(std::is_base_of_v<CDataObject, C>, "accessors belong to a data-object class");
        if (getter)
            m_getter = std::make_unique<Detail::CMemberGetter<C, T, Getter>>(getter);
        if constexpr (std::is_member_function_pointer_v<Setter>) {
            using SC = typename Detail::SetterTraits<Setter>::Class;
            static_assert(std::is_same_v<typename Detail::SetterTraits<Setter>::Value, T>,
                          "getter and setter of a field take the same value type");
            static_assert(std::is_base_of_v<CDataObject, SC>, "accessors belong to a data-object class");
            if (setter)
                m_setter = std::make_unique<Detail::CMemberSetter<SC, T, Setter>>(setter);
        } else {
            static_assert(std::is_same_v<Setter, std::nullptr_t> || std::is_same_v<Setter, int>,
                          "a missing setter is written as nullptr or 0");
        }
    }

    // Field without accessors (the descriptors of dynamic objects).
    CField(FieldId id, const char* caption, FieldType type, CFormat* format = nullptr, const char* getterName = nullptr,
           const char* setterName = nullptr);

    CField(const CField& other);
    CField& operator=(const CField& other);
    virtual ~CField();
    virtual CField* Clone() const;

    FieldId GetId() const noexcept { return m_id; }
    const std::string& GetCaption() const noexcept { return m_caption; }
    FieldType GetType() const noexcept { return m_type; }
    CFormat* GetFormat() const noexcept { return m_format; }
    const std::string& GetGetterName() const noexcept { return m_getterName; }
    const std::string& GetSetterName() const noexcept { return m_setterName; }
    bool HasGetter() const noexcept { return m_getter != nullptr; }
    bool HasSetter() const noexcept { return m_setter != nullptr; }

    // The typed accessors; null unless the field's type is T's code and the
    // accessor exists.
    template <class T> const CFieldGetter<T>* GetGetter() const noexcept
    {
        if (m_type != FieldTypeOf<T>::value || !m_getter)
            return nullptr;
        return static_cast<const CFieldGetter<T>*>(m_getter.get());
    }
    template <class T> const CFieldSetter<T>* GetSetter() const noexcept
    {
        if (m_type != FieldTypeOf<T>::value || !m_setter)
            return nullptr;
        return static_cast<const CFieldSetter<T>*>(m_setter.get());
    }

private:
    FieldId m_id = FIELD_NONE;
    std::string m_caption;
    FieldType m_type = FT_EMPTY;
    CFormat* m_format = nullptr; // owned
    std::string m_getterName;
    std::string m_setterName;
    std::unique_ptr<CFieldAccessor> m_getter;
    std::unique_ptr<CFieldAccessor> m_setter;
};

} // namespace Kestrum::Common

// Declares one field with its accessor expressions kept as text:
//   KESTRUM_FIELD(0, "Name", &CFileData::GetName, 0, nullptr)
#define KESTRUM_FIELD(id, caption, getter, setter, format) \
    new ::Kestrum::Common::CField((id), (caption), getter, setter, (format), #getter, #setter)
