// Whether the program under test is built with AddressSanitizer, whose shadow memory makes
// address-space limits and memory measurements meaningless.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define PIC2PNM_PROGRAM_HAS_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PIC2PNM_PROGRAM_HAS_ASAN 1
#endif
#endif
