// Placeholder for a subsystem folder that has no source yet.
