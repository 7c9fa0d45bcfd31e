/* The probe host library of the i386 build (see host_probe.h). Each function
 * stores every register and four stack words, then returns a known value with
 * its convention's clean-up; it changes no register but EAX. */
    .data
    .balign 4
    .globl _probe_seen
_probe_seen:
    .fill 13, 4, 0

#define PROBE(name, result, pops)          \
    .text ;                                \
    .globl _##name ;                       \
_##name:                                   \
    movl %eax, _probe_seen ;               \
    movl %ebx, _probe_seen + 4 ;           \
    movl %ecx, _probe_seen + 8 ;           \
    movl %edx, _probe_seen + 12 ;          \
    movl %esi, _probe_seen + 16 ;          \
    movl %edi, _probe_seen + 20 ;          \
    movl %ebp, _probe_seen + 24 ;          \
    movl %esp, _probe_seen + 28 ;          \
    movl (%esp), %eax ;                    \
    movl %eax, _probe_seen + 32 ;          \
    movl 4(%esp), %eax ;                   \
    movl %eax, _probe_seen + 36 ;          \
    movl 8(%esp), %eax ;                   \
    movl %eax, _probe_seen + 40 ;          \
    movl 12(%esp), %eax ;                  \
    movl %eax, _probe_seen + 44 ;          \
    incl _probe_seen + 48 ;                \
    movl $result, %eax ;                   \
    ret $pops

PROBE(probe_stdcall, 0x5202800D, 12)
PROBE(probe_cdecl, 0x5202900C, 0)
PROBE(probe_thiscall, 0x2097200E, 8)
