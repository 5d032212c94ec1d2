# Sources of controls/ in kelvra_core.
