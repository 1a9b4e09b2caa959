// SPDX-License-Identifier: MIT
// The unit that builds the tests' shared precompiled headers; it has nothing of its own.
