// A forwarding library: its exports are all forwarded to the system DLLs.
