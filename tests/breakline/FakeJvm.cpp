#include "FakeJvm.h"

namespace {

// The id the fake hands out for void run(); any other id is a fault.
char runMethodMarker;
jmethodID runMethodId() { return reinterpret_cast<jmethodID>(&runMethodMarker); }

}  // namespace

FakeJvm::FakeJvm()
{
    envFunctions_.GetJavaVM = getJavaVM;
    envFunctions_.NewGlobalRef = newGlobalRef;
    envFunctions_.GetObjectClass = getObjectClass;
    envFunctions_.GetMethodID = getMethodID;
    envFunctions_.CallVoidMethod = callVoidMethod;
    envFunctions_.DeleteGlobalRef = deleteGlobalRef;
    env_.functions = &envFunctions_;
    env_.owner = this;

    vmFunctions_.AttachCurrentThread = attachCurrentThread;
    vmFunctions_.DetachCurrentThread = detachCurrentThread;
    vm_.functions = &vmFunctions_;
    vm_.owner = this;
}

jobject FakeJvm::newObject(const std::string& name, bool hasVoidRun)
{
    objects_.push_back({name, hasVoidRun, 0});
    return newReference(&objects_.back(), "local");
}

int FakeJvm::runCalls(const std::string& name) const
{
    for (const Object& object : objects_) {
        if (object.name == name) {
            return object.runCalls;
        }
    }
    return -1;
}

jobject FakeJvm::newReference(Object* object, const std::string& kind)
{
    references_.push_back({object, kind, false});
    return reinterpret_cast<jobject>(&references_.back());
}

std::string FakeJvm::label(jobject reference)
{
    if (reference == nullptr) {
        return "null";
    }
    const Reference* known = referenceOf(reference);
    return (known->deleted ? "deleted " : "") + known->kind + " " + known->object->name;
}

jint JNICALL FakeJvm::getJavaVM(JNIEnv* env, JavaVM** vm)
{
    FakeJvm& jvm = of(env);
    jvm.calls_.push_back("GetJavaVM");
    *vm = &jvm.vm_;
    return JNI_OK;
}

jobject JNICALL FakeJvm::newGlobalRef(JNIEnv* env, jobject object)
{
    FakeJvm& jvm = of(env);
    jvm.calls_.push_back("NewGlobalRef(" + label(object) + ")");
    // A JVM answers a null object with a null reference.
    return object == nullptr ? nullptr : jvm.newReference(referenceOf(object)->object, "global");
}

jclass JNICALL FakeJvm::getObjectClass(JNIEnv* env, jobject object)
{
    FakeJvm& jvm = of(env);
    jvm.calls_.push_back("GetObjectClass(" + label(object) + ")");
    if (jvm.failGetObjectClass) {
        return nullptr;
    }
    return static_cast<jclass>(jvm.newReference(referenceOf(object)->object, "class of"));
}

jmethodID JNICALL FakeJvm::getMethodID(JNIEnv* env, jclass type, const char* name, const char* signature)
{
    FakeJvm& jvm = of(env);
    jvm.calls_.push_back("GetMethodID(" + label(type) + ", " + name + ", " + signature + ")");
    const bool isVoidRun = std::string(name) == "run" && std::string(signature) == "()V";
    return isVoidRun && referenceOf(type)->object->hasVoidRun ? runMethodId() : nullptr;
}

void JNICALL FakeJvm::callVoidMethod(JNIEnv* env, jobject object, jmethodID method, ...)
{
    FakeJvm& jvm = of(env);
    jvm.calls_.push_back("CallVoidMethod(" + label(object) + ", " + (method == runMethodId() ? "run" : "?") + ")");
    if (method == runMethodId()) {
        ++referenceOf(object)->object->runCalls;
    }
}

void JNICALL FakeJvm::deleteGlobalRef(JNIEnv* env, jobject reference)
{
    FakeJvm& jvm = of(env);
    jvm.calls_.push_back("DeleteGlobalRef(" + label(reference) + ")");
    referenceOf(reference)->deleted = true;
}

jint JNICALL FakeJvm::attachCurrentThread(JavaVM* vm, void** env, void* arguments)
{
    FakeJvm& jvm = of(vm);
    jvm.calls_.push_back(std::string("AttachCurrentThread(") + (arguments == nullptr ? "null" : "arguments") + ")");
    if (jvm.failAttach) {
        return JNI_ERR;
    }
    *env = &jvm.env_;
    return JNI_OK;
}

jint JNICALL FakeJvm::detachCurrentThread(JavaVM* vm)
{
    FakeJvm& jvm = of(vm);
    jvm.calls_.push_back("DetachCurrentThread");
    return jvm.failDetach ? JNI_ERR : JNI_OK;
}
