/* void probe_drive(void): calls probe_call.entry with every general register set
 * from probe_call and probe_call.argCount argument words pushed, then stores the
 * registers it returned with and how far ESP moved (0 when the callee removed all
 * the arguments) in probe_result. Test-only, one thread. */
    .data
    .balign 4
    .globl probe_call, probe_result
probe_call:                 /* entry, eax ebx ecx edx esi edi ebp, argCount, args[16] */
    .fill 25, 4, 0
probe_result:               /* eax ebx ecx edx esi edi ebp, espDelta */
    .fill 8, 4, 0
saved_esp:
    .long 0

    .text
    .globl probe_drive, probe_return_address
probe_drive:
    pushal
    movl %esp, saved_esp
    movl probe_call + 32, %ecx
1:  testl %ecx, %ecx
    jz 2f
    pushl probe_call + 32(, %ecx, 4)
    decl %ecx
    jmp 1b
2:  movl probe_call + 8, %ebx
    movl probe_call + 12, %ecx
    movl probe_call + 16, %edx
    movl probe_call + 20, %esi
    movl probe_call + 24, %edi
    movl probe_call + 28, %ebp
    movl probe_call + 4, %eax
    call *probe_call
probe_return_address:
    movl %eax, probe_result
    movl %ebx, probe_result + 4
    movl %ecx, probe_result + 8
    movl %edx, probe_result + 12
    movl %esi, probe_result + 16
    movl %edi, probe_result + 20
    movl %ebp, probe_result + 24
    movl %esp, %eax
    subl saved_esp, %eax
    movl %eax, probe_result + 28
    movl saved_esp, %esp
    popal
    ret
