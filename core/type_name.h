#pragma once
// Element type names for container reports ("Vector<class String>[3]", "Stack<int>::pop").
// They are spelled the same on every compiler, in the style that names a class with
// "class", a record with "struct" and puts a blank before the star of a pointer; compiler
// type information is never used for them.

#include <string>

namespace rubo {

class String;
struct FileLock;
template <class T> class List;
template <class Element, class Key> struct Bucket;

// Specialised for every element type a reporting container is instantiated with.
template <class T> struct TypeName;

template <class T> const char* type_name() { return TypeName<T>::name(); }

template <> struct TypeName<int> {
    static const char* name() { return "int"; }
};
template <> struct TypeName<unsigned int> {
    static const char* name() { return "unsigned int"; }
};
template <> struct TypeName<void*> {
    static const char* name() { return "void *"; }
};
template <> struct TypeName<String> {
    static const char* name() { return "class String"; }
};
template <> struct TypeName<FileLock> {
    static const char* name() { return "struct FileLock"; }
};

// Composite names are joined once per type and kept for the rest of the run. Closing a
// template argument list leaves a blank between two closing brackets.
namespace type_name_detail {
inline std::string closed(std::string name) { return name + (name.back() == '>' ? " >" : ">"); }
}  // namespace type_name_detail

template <> struct TypeName<void> {
    static const char* name() { return "void"; }
};
template <class R, class A> struct TypeName<R (*)(A)> {
    static const char* name() {
        static const std::string text = std::string(type_name<R>()) + " (*)(" + type_name<A>() + ")";
        return text.c_str();
    }
};
template <class T> struct TypeName<List<T>> {
    static const char* name() {
        static const std::string text = type_name_detail::closed(std::string("class List<") + type_name<T>());
        return text.c_str();
    }
};
template <class Element, class Key> struct TypeName<Bucket<Element, Key>> {
    static const char* name() {
        static const std::string text =
            type_name_detail::closed(std::string("struct Bucket<") + type_name<Element>() + "," + type_name<Key>());
        return text.c_str();
    }
};

}  // namespace rubo
