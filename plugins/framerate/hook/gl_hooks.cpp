// SPDX-License-Identifier: MIT
// The OpenGL side of libpixtera-fps.so, loaded with LD_PRELOAD: glXSwapBuffers and eglSwapBuffers
// count a frame and go on to the real functions (the next definitions after this library), also
// when a game fetches them through glXGetProcAddress or eglGetProcAddress. The GL types are
// spelt out here so the library needs no GL headers.

#include "frame_counter.h"

#include <dlfcn.h>

#include <cstring>

namespace {

using Display = void;
using GLXDrawable = unsigned long;
using EGLDisplay = void*;
using EGLSurface = void*;
using EGLBoolean = unsigned int;
using AnyFunction = void (*)();

using GlxSwap = void (*)(Display*, GLXDrawable);
using EglSwap = EGLBoolean (*)(EGLDisplay, EGLSurface);
using GlxGetProc = AnyFunction (*)(const unsigned char*);
using EglGetProc = AnyFunction (*)(const char*);

template <class Function>
Function Next(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

void CountFrame()
{
    if (auto* counter = pixtera::fps::ProcessCounter())
        counter->Presented(pixtera::fps::MonotonicNs());
}

AnyFunction OurVersion(const char* name);

} // namespace

extern "C" {

__attribute__((visibility("default"))) void glXSwapBuffers(Display* display, GLXDrawable drawable)
{
    static const auto next = Next<GlxSwap>("glXSwapBuffers");
    CountFrame();
    if (next)
        next(display, drawable);
}

__attribute__((visibility("default"))) EGLBoolean eglSwapBuffers(EGLDisplay display, EGLSurface surface)
{
    static const auto next = Next<EglSwap>("eglSwapBuffers");
    CountFrame();
    return next ? next(display, surface) : 0;
}

__attribute__((visibility("default"))) AnyFunction glXGetProcAddressARB(const unsigned char* name)
{
    static const auto next = Next<GlxGetProc>("glXGetProcAddressARB");
    if (AnyFunction ours = OurVersion(reinterpret_cast<const char*>(name)))
        return ours;
    return next ? next(name) : nullptr;
}

__attribute__((visibility("default"))) AnyFunction glXGetProcAddress(const unsigned char* name)
{
    static const auto next = Next<GlxGetProc>("glXGetProcAddress");
    if (AnyFunction ours = OurVersion(reinterpret_cast<const char*>(name)))
        return ours;
    return next ? next(name) : nullptr;
}

__attribute__((visibility("default"))) AnyFunction eglGetProcAddress(const char* name)
{
    static const auto next = Next<EglGetProc>("eglGetProcAddress");
    if (AnyFunction ours = OurVersion(name))
        return ours;
    return next ? next(name) : nullptr;
}

} // extern "C"

namespace {

AnyFunction OurVersion(const char* name)
{
    if (!name)
        return nullptr;
    if (std::strcmp(name, "glXSwapBuffers") == 0)
        return reinterpret_cast<AnyFunction>(&glXSwapBuffers);
    if (std::strcmp(name, "eglSwapBuffers") == 0)
        return reinterpret_cast<AnyFunction>(&eglSwapBuffers);
    return nullptr;
}

} // namespace
