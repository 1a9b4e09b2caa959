// SPDX-License-Identifier: MIT
#pragma once

// Symbols of the platform library that plug-ins and programs may use.
#define PX_API __attribute__((visibility("default")))

// The four entry points every plug-in module exports with C linkage.
#define PX_MODULE_EXPORT extern "C" __attribute__((visibility("default")))
