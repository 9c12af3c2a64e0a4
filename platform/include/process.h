// The C run-time's thread start, as the Windows run time offers it. On failure it returns 0 and
// sets errno (EAGAIN: too many threads, EINVAL: bad argument or stack size).
#pragma once

#include "windef.h"

typedef unsigned (*_beginthreadex_proc_type)(void*);
WINBASEAPI uintptr_t _beginthreadex(void* security, unsigned stack_size,
                                    unsigned (*start_address)(void*), void* arglist,
                                    unsigned initflag, unsigned* thrdaddr);
WINBASEAPI void _endthreadex(unsigned retval);
