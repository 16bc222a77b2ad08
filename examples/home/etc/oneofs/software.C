alpha
beta
