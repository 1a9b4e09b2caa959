// SPDX-License-Identifier: MIT
#pragma once
// Everything a COM client or server module needs.

#include <pixtera/platform/bstr.h>
#include <pixtera/platform/com_object.h>
#include <pixtera/platform/com_ptr.h>
#include <pixtera/platform/com_runtime.h>
#include <pixtera/platform/dispatch.h>
#include <pixtera/platform/guid.h>
#include <pixtera/platform/hresult.h>
#include <pixtera/platform/unknown.h>
#include <pixtera/platform/variant.h>
