#pragma once
// A reference that creates its object on first use and can be emptied again,
// which releases the object. The window holds its MIDI voice this way.

#include <functional>
#include <memory>
#include <utility>

template <typename T>
class AutoRef {
public:
    using Factory = std::function<std::unique_ptr<T>()>;
    explicit AutoRef(Factory factory) : factory_(std::move(factory)) {}

    T* operator->() { return &get(); }
    T& get()
    {
        if (!object_)
            object_ = factory_();
        return *object_;
    }
    bool isEmpty() const { return !object_; }
    void reset() { object_.reset(); }

private:
    Factory factory_;
    std::unique_ptr<T> object_;
};
