/* The machine-dependent part of jni.h for 64-bit Windows. The JDK on the
   build machine ships only its own platform's version of this header. */
#ifndef _JAVASOFT_JNI_MD_H_
#define _JAVASOFT_JNI_MD_H_

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

/* Windows is LLP64: long is 32 bits there, so jlong needs long long. */
typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
