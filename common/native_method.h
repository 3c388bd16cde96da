// One native method of the launcher's Java support classes, in the terms RegisterNatives needs.
// Where the VM cannot look natives up in the running program by itself, the launcher binds
// these tables explicitly.
#pragma once

namespace zor {

struct NativeMethodEntry {
    const char* className; // JNI form: "com/tarnwick/zor/Handler"
    const char* name;
    const char* signature;
    void* function;
};

} // namespace zor
