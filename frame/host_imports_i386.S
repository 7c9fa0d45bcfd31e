/* Host import entries of the i386 build, generated from host/host_functions.inc.
 *
 * Per entry:
 *   slot      .long resolver          (data; rebound once)
 *   dispatch  jmp *slot               (6 bytes; the entry's public address)
 *   resolver  push $dispatch; pusha; push $slot; push $ordinal;
 *             call BindHostImport; popa; ret     (23 bytes)
 *   trap      push $ordinal; call pim_raise_entry_not_found
 * and the entry's public, resolver and trap addresses in three tables.
 * The resolver leaves every general register and the caller's stack as it found
 * them, and its ret lands on the dispatch jump, which now goes through the bound
 * slot. A slot that cannot be bound holds the entry's trap, so a call through an
 * empty entry raises the host's exception instead of jumping to address 0.
 */

#define HOST_ENTRY(ord, name)                                      \
    .section .data ;                                               \
    .balign 4 ;                                                    \
    pim_slot_##name: .long pim_resolve_##name ;                    \
    .section .rdata ;                                              \
    .long pim_host_##name ;                                        \
    .section .text ;                                               \
    .globl pim_host_##name ;                                       \
    pim_host_##name: jmp *pim_slot_##name ;                        \
    pim_resolve_##name: pushl $pim_host_##name ;                   \
    pushal ;                                                       \
    pushl $pim_slot_##name ;                                       \
    pushl $ord ;                                                   \
    call pim_bind_host_import ;                                    \
    popal ;                                                        \
    ret ;                                                          \
    pim_trap_##name: pushl $ord ;                                  \
    call pim_raise_entry_not_found ;                               \
    .section .rdata$resolvers ;                                    \
    .long pim_resolve_##name ;                                     \
    .section .rdata$traps ;                                        \
    .long pim_trap_##name ;

#define HOST_FN(ord, name, conv, bytes, ret, params, args) HOST_ENTRY(ord, name)
#define HOST_ADDR(ord, name) HOST_ENTRY(ord, name)
#define HOST_LOADTIME(ord, name, conv, bytes, ret, params)
#define HOST_ATTACH(ord, name, conv, bytes, ret, params)

    .section .data
    .balign 4
    .globl pim_host_slots
pim_host_slots:
    .section .rdata
    .balign 4
    .globl pim_host_entries
pim_host_entries:
    .section .rdata$resolvers
    .balign 4
    .globl pim_host_resolvers
pim_host_resolvers:
    .section .rdata$traps
    .balign 4
    .globl pim_host_traps
pim_host_traps:

#include "host_functions.inc"

/* The fallback stubs: stub k returns 0 and removes k * 4 bytes of arguments. */
    .section .rdata
    .balign 4
    .globl pim_fallback_stubs
pim_fallback_stubs:
    .irp k, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14
    .long pim_fallback_stub_\k
    .endr
    .section .text
    .irp k, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14
pim_fallback_stub_\k:
    xorl %eax, %eax
    ret $(\k * 4)
    .endr
