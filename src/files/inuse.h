// An object put in use through a pointer while a scope lives, the one in use before put back
// after: how a run makes its own state (unit table, GIS state, end, console settings, write
// faults) the one that the program's operations work on.
#pragma once

namespace vk {

template <class T> class InUse {
public:
    InUse(T*& slot, T* value) : slot_(slot), previous_(slot) { slot = value; }
    ~InUse() { slot_ = previous_; }
    InUse(const InUse&) = delete;
    InUse& operator=(const InUse&) = delete;

private:
    T*& slot_;
    T* previous_;
};

}  // namespace vk
