#include "overlay/structured_exception_guard.h"

// int tarnwick_seh_guarded_call(void (*function)(void*), void* context)
// One scope covers the call; its filter is the constant EXCEPTION_EXECUTE_HANDLER (1), and its
// target returns 0 after the system has unwound the faulting frames.
asm(R"(
    .text
    .globl tarnwick_seh_guarded_call
    .def tarnwick_seh_guarded_call; .scl 2; .type 32; .endef
    .seh_proc tarnwick_seh_guarded_call
tarnwick_seh_guarded_call:
    pushq %rbp
    .seh_pushreg %rbp
    movq %rsp, %rbp
    .seh_setframe %rbp, 0
    subq $32, %rsp
    .seh_stackalloc 32
    .seh_endprologue
    movq %rcx, %rax
    movq %rdx, %rcx
.Ltarnwick_guard_begin:
    callq *%rax
    nop
.Ltarnwick_guard_end:
    movl $1, %eax
    jmp .Ltarnwick_guard_return
.Ltarnwick_guard_handler:
    xorl %eax, %eax
.Ltarnwick_guard_return:
    movq %rbp, %rsp
    popq %rbp
    retq
    .seh_handler __C_specific_handler, @except
    .seh_handlerdata
    .long 1
    .rva .Ltarnwick_guard_begin, .Ltarnwick_guard_end
    .long 1
    .rva .Ltarnwick_guard_handler
    .text
    .seh_endproc
)");
