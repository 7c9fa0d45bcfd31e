/* Host import entries of the native (x86-64) build, generated from
 * host/host_functions.inc: the public addresses that the dialog's virtual table and
 * the callback binders hold. As in the i386 build, an entry binds its host
 * function only when it is first called, not when its address is taken.
 *
 * Per entry: keep every argument register (rdi, rsi, rdx, rcx, r8, r9, rax for a
 * variable list, xmm0-7), get the target from pim_native_entry_target(index),
 * which binds the entry on its first call or raises the host's exception for an
 * empty one, restore the registers and jump to the target with the caller's stack
 * as it was. The call frame information lets that exception unwind through.
 */
#if !defined(__x86_64__)
#error "the native build's host import entries are x86-64 code"
#endif

    .set pim_native_index, 0

#define HOST_ENTRY(ord, name)                                      \
    .text ;                                                        \
    .p2align 4 ;                                                   \
    pim_native_entry_##name: ;                                     \
    .cfi_startproc ;                                               \
    pushq %rdi ; .cfi_adjust_cfa_offset 8 ;                        \
    pushq %rsi ; .cfi_adjust_cfa_offset 8 ;                        \
    pushq %rdx ; .cfi_adjust_cfa_offset 8 ;                        \
    pushq %rcx ; .cfi_adjust_cfa_offset 8 ;                        \
    pushq %r8 ; .cfi_adjust_cfa_offset 8 ;                         \
    pushq %r9 ; .cfi_adjust_cfa_offset 8 ;                         \
    pushq %rax ; .cfi_adjust_cfa_offset 8 ;                        \
    subq $128, %rsp ; .cfi_adjust_cfa_offset 128 ;                 \
    movaps %xmm0, 0(%rsp) ; movaps %xmm1, 16(%rsp) ;               \
    movaps %xmm2, 32(%rsp) ; movaps %xmm3, 48(%rsp) ;              \
    movaps %xmm4, 64(%rsp) ; movaps %xmm5, 80(%rsp) ;              \
    movaps %xmm6, 96(%rsp) ; movaps %xmm7, 112(%rsp) ;             \
    movl $pim_native_index, %edi ;                                 \
    call pim_native_entry_target@PLT ;                             \
    movq %rax, %r11 ;                                              \
    movaps 0(%rsp), %xmm0 ; movaps 16(%rsp), %xmm1 ;               \
    movaps 32(%rsp), %xmm2 ; movaps 48(%rsp), %xmm3 ;              \
    movaps 64(%rsp), %xmm4 ; movaps 80(%rsp), %xmm5 ;              \
    movaps 96(%rsp), %xmm6 ; movaps 112(%rsp), %xmm7 ;             \
    addq $128, %rsp ; .cfi_adjust_cfa_offset -128 ;                \
    popq %rax ; .cfi_adjust_cfa_offset -8 ;                        \
    popq %r9 ; .cfi_adjust_cfa_offset -8 ;                         \
    popq %r8 ; .cfi_adjust_cfa_offset -8 ;                         \
    popq %rcx ; .cfi_adjust_cfa_offset -8 ;                        \
    popq %rdx ; .cfi_adjust_cfa_offset -8 ;                        \
    popq %rsi ; .cfi_adjust_cfa_offset -8 ;                        \
    popq %rdi ; .cfi_adjust_cfa_offset -8 ;                        \
    jmp *%r11 ;                                                    \
    .cfi_endproc ;                                                 \
    .section .data.rel.ro,"aw" ;                                   \
    .quad pim_native_entry_##name ;                                \
    .set pim_native_index, pim_native_index + 1 ;

#define HOST_FN(ord, name, conv, bytes, ret, params, args) HOST_ENTRY(ord, name)
#define HOST_ADDR(ord, name) HOST_ENTRY(ord, name)
#define HOST_LOADTIME(ord, name, conv, bytes, ret, params)
#define HOST_ATTACH(ord, name, conv, bytes, ret, params)

    .section .data.rel.ro,"aw"
    .p2align 3
    .globl pim_host_entries
    .hidden pim_host_entries
pim_host_entries:

#include "host_functions.inc"

    .section .note.GNU-stack,"",@progbits
