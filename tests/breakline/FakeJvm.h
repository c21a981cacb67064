#pragma once

#include <jni.h>

#include <deque>
#include <string>
#include <vector>

// A JNIEnv and a JavaVM whose function tables hold only what the library may
// use. Every call is recorded with its arguments, references by their labels
// ("local A", "global A", "class of A"), so a test compares whole sequences.
class FakeJvm {
public:
    FakeJvm();
    FakeJvm(const FakeJvm&) = delete;
    FakeJvm& operator=(const FakeJvm&) = delete;

    JNIEnv* env() { return &env_; }

    // A local reference to a new Java object named `name`, as a native method
    // receives its argument.
    jobject newObject(const std::string& name, bool hasVoidRun);
    int runCalls(const std::string& name) const;

    const std::vector<std::string>& calls() const { return calls_; }
    void clearCalls() { calls_.clear(); }

    bool failGetObjectClass = false;
    bool failAttach = false;
    bool failDetach = false;

private:
    struct Object {
        std::string name;
        bool hasVoidRun;
        int runCalls;
    };
    struct Reference {
        Object* object;
        std::string kind;  // "local", "global" or "class of"
        bool deleted;
    };
    struct Env : JNIEnv_ {
        FakeJvm* owner;
    };
    struct Vm : JavaVM_ {
        FakeJvm* owner;
    };

    jobject newReference(Object* object, const std::string& kind);
    static std::string label(jobject reference);
    static Reference* referenceOf(jobject reference) { return reinterpret_cast<Reference*>(reference); }
    static FakeJvm& of(JNIEnv* env) { return *static_cast<Env*>(env)->owner; }
    static FakeJvm& of(JavaVM* vm) { return *static_cast<Vm*>(vm)->owner; }

    static jint JNICALL getJavaVM(JNIEnv* env, JavaVM** vm);
    static jobject JNICALL newGlobalRef(JNIEnv* env, jobject object);
    static jclass JNICALL getObjectClass(JNIEnv* env, jobject object);
    static jmethodID JNICALL getMethodID(JNIEnv* env, jclass type, const char* name, const char* signature);
    static void JNICALL callVoidMethod(JNIEnv* env, jobject object, jmethodID method, ...);
    static void JNICALL deleteGlobalRef(JNIEnv* env, jobject reference);
    static jint JNICALL attachCurrentThread(JavaVM* vm, void** env, void* arguments);
    static jint JNICALL detachCurrentThread(JavaVM* vm);

    JNINativeInterface_ envFunctions_{};
    JNIInvokeInterface_ vmFunctions_{};
    Env env_{};
    Vm vm_{};
    std::deque<Object> objects_;
    std::deque<Reference> references_;
    std::vector<std::string> calls_;
};
