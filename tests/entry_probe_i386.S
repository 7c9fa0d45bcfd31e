/* Entries that record how the host called them, for the entry-stack test:
 * entry_probe_seen receives where the first argument lay, ECX, and the first two
 * argument words. Both return 0x00018001 (a 16-bit result: -32767).
 * entry_probe_pop8 removes 8 bytes of arguments (stdcall, thiscall), entry_probe_pop0
 * none (cdecl). Test-only, one thread. */
    .data
    .balign 4
    .globl entry_probe_seen
entry_probe_seen:
    .fill 4, 4, 0

    .text
    .globl entry_probe_pop8, entry_probe_pop0
entry_probe_pop8:
    call record
    ret $8
entry_probe_pop0:
    call record
    ret

record:                     /* the caller's first argument lies at 8(%esp) */
    leal 8(%esp), %eax
    movl %eax, entry_probe_seen
    movl %ecx, entry_probe_seen + 4
    movl 8(%esp), %eax
    movl %eax, entry_probe_seen + 8
    movl 12(%esp), %eax
    movl %eax, entry_probe_seen + 12
    movl $0x00018001, %eax
    ret
