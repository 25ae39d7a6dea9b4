#include "overlay/structured_exception_guard.h"

// 32-bit x86 has no unwind tables: a frame takes part in structured exception handling by
// pushing a registration record {next, handler} and linking it at fs:[0], the head of the
// thread's chain, and unlinking it before it returns.
//
// int tarnwick_seh_guarded_call(void (*function)(void*), void* context), cdecl.
// The record lies 20 bytes below the frame pointer (after ebp, ebx, esi, edi and the handler
// word), which is how the handler finds the frame again.
//
// Windows checks a handler before it calls it, and the record is built to pass:
// - SafeSEH: a handler in an image with a SafeSEH table must be listed there. The image's load
//   configuration below lists tarnwick_seh_handler, the only handler this code registers; the
//   mingw-w64 runtime registers none of its own.
// - SEHOP: the chain is walked from fs:[0] to ntdll's final record before any handler runs;
//   every record must lie on the thread's stack, 4-byte aligned, and the chain must be whole.
//   Ours is pushed on the stack and unlinked on both ways out.
// - DEP: the handler lies in the image's code section, never in writable memory.
//
// The handler lets the system unwind the records above ours first (RtlUnwind runs their
// termination handlers, as for __except), then resumes the guard's frame, which answers 0.
asm(R"(
    .text
    .globl _tarnwick_seh_guarded_call
    .def _tarnwick_seh_guarded_call; .scl 2; .type 32; .endef
_tarnwick_seh_guarded_call:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    pushl $_tarnwick_seh_handler
    pushl %fs:0
    movl %esp, %fs:0
    pushl 12(%ebp)
    call *8(%ebp)
    addl $4, %esp
    movl $1, %eax
.Ltarnwick_guard_return:
    movl -20(%ebp), %ecx
    movl %ecx, %fs:0
    leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret

# EXCEPTION_DISPOSITION handler(EXCEPTION_RECORD*, void* establisherFrame, CONTEXT*, void*)
    .globl _tarnwick_seh_handler
    .def _tarnwick_seh_handler; .scl 2; .type 32; .endef
_tarnwick_seh_handler:
    movl 4(%esp), %eax
    testl $6, 4(%eax)
    jnz .Ltarnwick_continue_search
    movl 8(%esp), %ecx
    pushl %ecx
    pushl $0
    pushl %eax
    pushl $.Ltarnwick_unwound
    pushl %ecx
    call _RtlUnwind@16
.Ltarnwick_unwound:
    popl %ecx
    leal 20(%ecx), %ebp
    movl %ecx, %esp
    xorl %eax, %eax
    jmp .Ltarnwick_guard_return
.Ltarnwick_continue_search:
    movl $1, %eax
    ret

# The image's load configuration (IMAGE_LOAD_CONFIG_DIRECTORY32 up to SEHandlerCount), found by
# the linker under this name. Only the SafeSEH table is filled in; the table holds image-relative
# addresses, sorted.
    .section .rdata,"dr"
    .globl __load_config_used
    .p2align 2
__load_config_used:
    .long 72
    .fill 14, 4, 0
    .long 0
    .long .Ltarnwick_safe_handlers
    .long 1
.Ltarnwick_safe_handlers:
    .rva _tarnwick_seh_handler
    .text
)");
